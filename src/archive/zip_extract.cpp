// One entry's bytes: found through its local header, inflated (Deflate by
// zlib, Deflate64 by our own inflater) and checked against the central
// directory's CRC-32 and size.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "archive/deflate64.hpp"
#include "archive/zip_reader.hpp"
#include "archive/zip_records.hpp"
#include "base/fatal_error.hpp"
#include "base/text.hpp"

namespace glyphreel {

namespace {

using Bytes = std::span<const std::uint8_t>;

// zlib counts in 32-bit unsigned values: feed and fill it in pieces.
constexpr std::size_t zlib_piece = std::size_t{1} << 30;
// The most one byte of a Deflate stream can become: a match of 258 bytes
// costs at least two bits.
constexpr std::size_t deflate_max_expansion = 258 * 8 / 2;

struct Inflated {
  std::vector<std::uint8_t> bytes;
  std::string fault;  // empty when the stream ended
};

// Inflates a raw Deflate stream through zlib into at most `limit` bytes:
// an output sized once for all the stream can make, grown only should
// zlib make more.
Inflated inflate_deflate(Bytes stream, std::size_t limit) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
    throw FatalError("zlib could not start inflating: out of memory");
  }
  Inflated result;
  result.bytes.resize(stream.size() > limit / deflate_max_expansion
                          ? limit
                          : stream.size() * deflate_max_expansion);
  std::size_t fed = 0;
  std::size_t written = 0;
  std::uint8_t spare = 0;
  for (;;) {
    if (z.avail_in == 0 && fed < stream.size()) {
      const std::size_t piece = std::min(zlib_piece, stream.size() - fed);
      z.next_in = const_cast<std::uint8_t*>(stream.data() + fed);
      z.avail_in = static_cast<uInt>(piece);
      fed += piece;
    }
    if (written == result.bytes.size() && written < limit) {
      result.bytes.resize(
          std::min(limit, std::max(2 * written, std::size_t{1} << 16)));
    }
    // At the limit, one spare byte shows whether the stream goes on.
    const bool full = written == limit;
    const std::size_t room =
        full ? 1 : std::min(zlib_piece, result.bytes.size() - written);
    z.next_out = full ? &spare : result.bytes.data() + written;
    z.avail_out = static_cast<uInt>(room);
    const int status = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = room - z.avail_out;
    if (full && produced > 0) {
      result.fault = "more output than the entry's size";
      break;
    }
    if (!full) written += produced;
    if (status == Z_STREAM_END) break;
    if (status == Z_DATA_ERROR) {
      result.fault = z.msg != nullptr ? z.msg : "invalid stream";
      break;
    }
    if (status == Z_MEM_ERROR) {
      inflateEnd(&z);
      throw FatalError("zlib ran out of memory while inflating");
    }
    if (z.avail_in == 0 && fed == stream.size() && z.avail_out > 0) {
      result.fault = "stream ends early";
      break;
    }
  }
  inflateEnd(&z);
  result.bytes.resize(written);
  return result;
}

class Extraction {
 public:
  Extraction(Bytes archive, const ZipEntry& entry, std::string_view zip_name)
      : archive_(archive), entry_(entry), zip_name_(zip_name) {}

  std::vector<std::uint8_t> run() const {
    if (entry_.encrypted) refuse("encrypted entries are not supported");
    if (entry_.method != zip_stored && entry_.method != zip_deflate &&
        entry_.method != zip_deflate64) {
      refuse("compression method " + std::to_string(entry_.method) +
             " is not supported (only stored, Deflate and Deflate64)");
    }
    if (entry_.size > zip_max_entry_size) {
      refuse("claims " + std::to_string(entry_.size) +
             " bytes, more than the " + std::to_string(zip_max_entry_size) +
             " an entry may hold");
    }
    const Bytes data = entry_data();
    const auto limit = static_cast<std::size_t>(entry_.size);

    std::vector<std::uint8_t> bytes;
    if (entry_.method == zip_stored) {
      bytes.assign(data.begin(), data.end());
    } else if (entry_.method == zip_deflate) {
      Inflated inflated = inflate_deflate(data, limit);
      if (!inflated.fault.empty()) {
        refuse("damaged Deflate stream: " + inflated.fault);
      }
      bytes = std::move(inflated.bytes);
    } else {
      Inflated64 inflated = inflate_deflate64(data, limit);
      if (!inflated.fault.empty()) {
        refuse("damaged Deflate64 stream: " + std::string(inflated.fault));
      }
      bytes = std::move(inflated.bytes);
    }

    if (bytes.size() != entry_.size) {
      refuse("gives " + std::to_string(bytes.size()) +
             " bytes where the central directory says " +
             std::to_string(entry_.size));
    }
    std::uint32_t crc = 0;
    for (std::size_t at = 0; at < bytes.size(); at += zlib_piece) {
      crc = static_cast<std::uint32_t>(
          crc32(crc, bytes.data() + at,
                static_cast<uInt>(std::min(zlib_piece, bytes.size() - at))));
    }
    if (crc != entry_.crc32) {
      refuse("CRC-32 " + hex32(crc) + " where the central directory says " +
             hex32(entry_.crc32) + ": the data are damaged");
    }
    return bytes;
  }

 private:
  [[noreturn]] void refuse(const std::string& why) const {
    throw FatalError(std::string(zip_name_) + ": " +
                     quote_argument(entry_.name) + ": " + why);
  }

  static std::string hex32(std::uint32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
  }

  // The compressed bytes: after the local header, whose name and extra
  // field may differ in length from the central directory's. Its sizes
  // are not read: with a data descriptor they are zeros.
  Bytes entry_data() const {
    const std::uint64_t at = entry_.local_header_offset;
    if (at > archive_.size() || archive_.size() - at < zip::local_header_size) {
      refuse("its local header lies past the end of the archive");
    }
    const auto header = static_cast<std::size_t>(at);
    if (zip::get32(archive_, header) != zip::local_header_signature) {
      refuse("no local header at offset " + std::to_string(at));
    }
    const std::size_t data = header + zip::local_header_size +
                             zip::get16(archive_, header + 26) +
                             zip::get16(archive_, header + 28);
    if (data > archive_.size()) {
      refuse("its local header lies past the end of the archive");
    }
    if (entry_.compressed_size > archive_.size() - data) {
      refuse("its data run past the end of the archive");
    }
    return archive_.subspan(data,
                            static_cast<std::size_t>(entry_.compressed_size));
  }

  Bytes archive_;
  const ZipEntry& entry_;
  std::string_view zip_name_;
};

}  // namespace

std::vector<std::uint8_t> extract_zip_entry(
    std::span<const std::uint8_t> archive, const ZipEntry& entry,
    std::string_view zip_name) {
  return Extraction(archive, entry, zip_name).run();
}

}  // namespace glyphreel
