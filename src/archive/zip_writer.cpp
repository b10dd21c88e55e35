// Song zips: each member's local header and data, then the central
// directory and the end record, with Zip64 fields only where a size or an
// offset does not fit in 32 bits.
#include "archive/zip_writer.hpp"

#include <zlib.h>

#include <algorithm>

#include "archive/zip_reader.hpp"
#include "archive/zip_records.hpp"
#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

// zlib counts in 32-bit unsigned values: feed and fill it in pieces.
constexpr std::size_t zlib_piece = std::size_t{1} << 30;

// What the central directory repeats of a member written.
struct Written {
  std::string name;
  std::uint16_t method = zip_stored;
  std::uint32_t crc32 = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;
  std::uint64_t offset = 0;
};

std::uint32_t crc_of(std::span<const std::uint8_t> bytes) {
  uLong crc = crc32(0, nullptr, 0);
  for (std::size_t at = 0; at < bytes.size(); at += zlib_piece) {
    crc = crc32(crc, bytes.data() + at,
                static_cast<uInt>(std::min(zlib_piece, bytes.size() - at)));
  }
  return static_cast<std::uint32_t>(crc);
}

// A raw Deflate stream at zlib's best compression.
std::vector<std::uint8_t> deflate_raw(std::span<const std::uint8_t> bytes) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw FatalError("zlib could not start compressing: out of memory");
  }
  std::vector<std::uint8_t> out;
  std::size_t fed = 0;
  std::size_t written = 0;
  for (int status = Z_OK; status != Z_STREAM_END;) {
    if (z.avail_in == 0 && fed < bytes.size()) {
      const std::size_t piece = std::min(zlib_piece, bytes.size() - fed);
      z.next_in = const_cast<std::uint8_t*>(bytes.data() + fed);
      z.avail_in = static_cast<uInt>(piece);
      fed += piece;
    }
    if (written == out.size()) {
      out.resize(std::max(2 * out.size(), std::size_t{1} << 16));
    }
    const std::size_t room = std::min(zlib_piece, out.size() - written);
    z.next_out = out.data() + written;
    z.avail_out = static_cast<uInt>(room);
    status = deflate(&z, fed == bytes.size() ? Z_FINISH : Z_NO_FLUSH);
    written += room - z.avail_out;
    if (status == Z_STREAM_ERROR) {
      deflateEnd(&z);
      throw FatalError("zlib failed while compressing a zip member");
    }
  }
  deflateEnd(&z);
  out.resize(written);
  return out;
}

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80;
  });
}

class Writer {
 public:
  Writer(std::uint32_t dos_time, std::uint64_t zip64_from)
      : dos_time_(dos_time), zip64_from_(zip64_from) {}

  void add(const ZipMember& member) {
    Written written;
    written.name = member.name;
    written.crc32 = crc_of(member.bytes);
    written.size = member.bytes.size();
    written.offset = out_.size();
    std::vector<std::uint8_t> deflated;
    std::span<const std::uint8_t> data = member.bytes;
    if (member.deflate) {
      deflated = deflate_raw(member.bytes);
      // Data that does not shrink is stored as it is.
      if (deflated.size() < member.bytes.size()) {
        written.method = zip_deflate;
        data = deflated;
      }
    }
    written.compressed_size = data.size();

    // The local header gives both sizes in its Zip64 field when either
    // needs it.
    const bool zip64 =
        needs_zip64(written.size) || needs_zip64(written.compressed_size);
    std::vector<std::uint8_t> extra;
    if (zip64) {
      put_extra_header(extra, 2 * 8);
      zip::put_le(extra, written.size, 8);
      zip::put_le(extra, written.compressed_size, 8);
    }
    put_le(zip::local_header_signature, 4);
    put_le(zip64 ? zip::version_zip64 : zip::version_deflate, 2);
    put_le(flags(written.name), 2);
    put_le(written.method, 2);
    put_le(dos_time_, 4);
    put_le(written.crc32, 4);
    put_le(zip64 ? zip::overflow32 : written.compressed_size, 4);
    put_le(zip64 ? zip::overflow32 : written.size, 4);
    put_variable(written.name, extra);
    out_.insert(out_.end(), data.begin(), data.end());
    members_.push_back(std::move(written));
  }

  std::vector<std::uint8_t> finish() {
    const std::uint64_t directory_offset = out_.size();
    for (const Written& member : members_) put_central_entry(member);
    const std::uint64_t directory_size = out_.size() - directory_offset;
    const std::uint64_t entries = members_.size();

    const bool zip64 = entries >= zip::overflow16 ||
                       needs_zip64(directory_size) ||
                       needs_zip64(directory_offset);
    if (zip64) {
      const std::uint64_t record = out_.size();
      put_le(zip::zip64_end_record_signature, 4);
      put_le(zip::zip64_end_record_size - 12, 8);  // the rest of it
      put_le(zip::version_zip64, 2);
      put_le(zip::version_zip64, 2);
      put_le(0, 4);
      put_le(0, 4);
      put_le(entries, 8);
      put_le(entries, 8);
      put_le(directory_size, 8);
      put_le(directory_offset, 8);
      put_le(zip::zip64_locator_signature, 4);
      put_le(0, 4);
      put_le(record, 8);
      put_le(1, 4);
    }
    const std::uint64_t entries16 =
        entries >= zip::overflow16 ? zip::overflow16 : entries;
    put_le(zip::end_record_signature, 4);
    put_le(0, 2);
    put_le(0, 2);
    put_le(entries16, 2);
    put_le(entries16, 2);
    put_le(classic(directory_size), 4);
    put_le(classic(directory_offset), 4);
    put_le(0, 2);  // no comment
    return std::move(out_);
  }

 private:
  bool needs_zip64(std::uint64_t value) const { return value >= zip64_from_; }

  // The 32-bit field's value, or the mark that Zip64 holds it.
  std::uint64_t classic(std::uint64_t value) const {
    return needs_zip64(value) ? zip::overflow32 : value;
  }

  static std::uint16_t flags(const std::string& name) {
    return is_ascii(name) ? 0 : zip::flag_utf8;
  }

  void put_central_entry(const Written& member) {
    // The Zip64 field holds just the values that overflow, in this order.
    std::vector<std::uint8_t> values;
    for (const std::uint64_t value :
         {member.size, member.compressed_size, member.offset}) {
      if (needs_zip64(value)) zip::put_le(values, value, 8);
    }
    std::vector<std::uint8_t> extra;
    if (!values.empty()) {
      put_extra_header(extra, values.size());
      extra.insert(extra.end(), values.begin(), values.end());
    }
    const std::uint16_t version =
        values.empty() ? zip::version_deflate : zip::version_zip64;
    put_le(zip::central_entry_signature, 4);
    put_le(version, 2);  // made by: MS-DOS attributes, this version
    put_le(version, 2);
    put_le(flags(member.name), 2);
    put_le(member.method, 2);
    put_le(dos_time_, 4);
    put_le(member.crc32, 4);
    put_le(classic(member.compressed_size), 4);
    put_le(classic(member.size), 4);
    put_le(member.name.size(), 2);
    put_le(extra.size(), 2);
    put_le(0, 2);                                      // comment length
    put_le(0, 2);                                      // first disk
    put_le(0, 2);                                      // internal attributes
    put_le(member.name.ends_with('/') ? 0x10 : 0, 4);  // MS-DOS folder bit
    put_le(classic(member.offset), 4);
    out_.insert(out_.end(), member.name.begin(), member.name.end());
    out_.insert(out_.end(), extra.begin(), extra.end());
  }

  static void put_extra_header(std::vector<std::uint8_t>& extra,
                               std::size_t body) {
    zip::put_le(extra, zip::zip64_extra_id, 2);
    zip::put_le(extra, body, 2);
  }

  // The name and extra field after a local header, with their lengths.
  void put_variable(const std::string& name,
                    const std::vector<std::uint8_t>& extra) {
    put_le(name.size(), 2);
    put_le(extra.size(), 2);
    out_.insert(out_.end(), name.begin(), name.end());
    out_.insert(out_.end(), extra.begin(), extra.end());
  }

  void put_le(std::uint64_t value, std::size_t width) {
    zip::put_le(out_, value, width);
  }

  std::uint32_t dos_time_;
  std::uint64_t zip64_from_;
  std::vector<std::uint8_t> out_;
  std::vector<Written> members_;
};

}  // namespace

std::vector<std::uint8_t> zip_archive(std::span<const ZipMember> members,
                                      std::uint32_t dos_time) {
  return zip_archive_zip64_from(members, dos_time, zip::overflow32);
}

std::vector<std::uint8_t> zip_archive_zip64_from(
    std::span<const ZipMember> members, std::uint32_t dos_time,
    std::uint64_t zip64_from) {
  for (const ZipMember& member : members) {
    if (member.name.size() > zip::overflow16) {
      throw FatalError("a zip member's name is longer than 65,535 bytes");
    }
  }
  Writer writer(dos_time, zip64_from);
  for (const ZipMember& member : members) writer.add(member);
  return writer.finish();
}

std::uint32_t dos_date_time(int year, int month, int day, int hour, int minute,
                            int second) {
  constexpr int first_year = 1980;
  constexpr int last_year = first_year + 127;
  const auto date = [](std::uint32_t years, std::uint32_t m, std::uint32_t d) {
    return (years << 9 | m << 5 | d) << 16;
  };
  if (year < first_year) return date(0, 1, 1);
  if (year > last_year) return date(127, 12, 31) | (23u << 11 | 59u << 5 | 29u);
  return date(static_cast<std::uint32_t>(year - first_year),
              static_cast<std::uint32_t>(month),
              static_cast<std::uint32_t>(day)) |
         static_cast<std::uint32_t>(hour) << 11 |
         static_cast<std::uint32_t>(minute) << 5 |
         static_cast<std::uint32_t>(second / 2);
}

}  // namespace glyphreel
