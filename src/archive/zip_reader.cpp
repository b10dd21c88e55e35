// The central directory: found through the end record, read entry by entry,
// every offset and length checked against the archive before it is used.
#include "archive/zip_reader.hpp"

#include <zlib.h>

#include <algorithm>
#include <optional>

#include "archive/zip_names.hpp"
#include "archive/zip_records.hpp"
#include "base/fatal_error.hpp"
#include "base/text.hpp"

namespace glyphreel {

namespace {

using Bytes = std::span<const std::uint8_t>;

[[noreturn]] void refuse(std::string_view zip_name, const std::string& why) {
  throw FatalError(std::string(zip_name) + ": " + why);
}

// Where the central directory lies and how many entries it holds.
struct Directory {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t entries = 0;
};

// The last end record whose comment fits in the archive, searched from the
// end over the longest comment the record can announce.
std::optional<std::size_t> find_end_record(Bytes archive) {
  if (archive.size() < zip::end_record_size) return std::nullopt;
  const std::size_t last = archive.size() - zip::end_record_size;
  const std::size_t first = last - std::min(last, zip::max_comment_size);
  for (std::size_t at = last + 1; at-- > first;) {
    if (zip::get32(archive, at) == zip::end_record_signature &&
        zip::get16(archive, at + 20) <= last - at) {
      return at;
    }
  }
  return std::nullopt;
}

// The Zip64 end record, through the locator just before the end record.
// Returns its offset.
std::size_t find_zip64_end_record(Bytes archive, std::size_t end_record,
                                  std::string_view zip_name) {
  if (end_record < zip::zip64_locator_size ||
      zip::get32(archive, end_record - zip::zip64_locator_size) !=
          zip::zip64_locator_signature) {
    refuse(zip_name,
           "the end record points to Zip64 records, but there are none");
  }
  const std::size_t locator = end_record - zip::zip64_locator_size;
  const std::uint64_t at = zip::get64(archive, locator + 8);
  if (at > locator || locator - at < zip::zip64_end_record_size) {
    refuse(zip_name, "the Zip64 end record lies past the end of the archive");
  }
  const auto offset = static_cast<std::size_t>(at);
  if (zip::get32(archive, offset) != zip::zip64_end_record_signature) {
    refuse(zip_name, "no Zip64 end record where its locator points");
  }
  return offset;
}

Directory locate_directory(Bytes archive, std::string_view zip_name) {
  const std::optional<std::size_t> found = find_end_record(archive);
  if (!found) {
    refuse(zip_name,
           "not a zip archive, or a truncated one: no end of central "
           "directory record");
  }
  const std::size_t end = *found;
  std::uint64_t disk = zip::get16(archive, end + 4);
  std::uint64_t directory_disk = zip::get16(archive, end + 6);
  std::uint64_t disk_entries = zip::get16(archive, end + 8);
  Directory directory{zip::get32(archive, end + 16),
                      zip::get32(archive, end + 12),
                      zip::get16(archive, end + 10)};

  // Each field that overflows its classic width is taken from Zip64.
  const bool zip64 =
      disk == zip::overflow16 || directory_disk == zip::overflow16 ||
      disk_entries == zip::overflow16 || directory.entries == zip::overflow16 ||
      directory.size == zip::overflow32 || directory.offset == zip::overflow32;
  std::size_t directory_end = end;
  if (zip64) {
    const std::size_t at = find_zip64_end_record(archive, end, zip_name);
    directory_end = at;
    if (disk == zip::overflow16) disk = zip::get32(archive, at + 16);
    if (directory_disk == zip::overflow16) {
      directory_disk = zip::get32(archive, at + 20);
    }
    if (disk_entries == zip::overflow16) {
      disk_entries = zip::get64(archive, at + 24);
    }
    if (directory.entries == zip::overflow16) {
      directory.entries = zip::get64(archive, at + 32);
    }
    if (directory.size == zip::overflow32) {
      directory.size = zip::get64(archive, at + 40);
    }
    if (directory.offset == zip::overflow32) {
      directory.offset = zip::get64(archive, at + 48);
    }
  }

  if (disk != 0 || directory_disk != 0 || disk_entries != directory.entries) {
    refuse(zip_name, "the archive spans several disks, which is not supported");
  }
  if (directory.offset > directory_end ||
      directory.size > directory_end - directory.offset) {
    refuse(zip_name, "the central directory lies past the end of the archive");
  }
  return directory;
}

// The body of the first extra field with this id. A field whose length runs
// past the extra data ends the search: what follows cannot be trusted.
std::optional<Bytes> find_extra(Bytes extra, std::uint16_t id) {
  for (std::size_t at = 0; extra.size() - at >= zip::extra_header_size;) {
    const std::size_t length = zip::get16(extra, at + 2);
    const std::size_t body = at + zip::extra_header_size;
    if (length > extra.size() - body) break;
    if (zip::get16(extra, at) == id) return extra.subspan(body, length);
    at = body + length;
  }
  return std::nullopt;
}

// The Zip64 field's values replace the classic fields that overflow, in its
// fixed order: uncompressed size, compressed size, local header offset.
void apply_zip64_extra(Bytes extra, ZipEntry& entry,
                       std::string_view zip_name) {
  std::uint64_t* const fields[] = {&entry.size, &entry.compressed_size,
                                   &entry.local_header_offset};
  if (std::none_of(std::begin(fields), std::end(fields),
                   [](const std::uint64_t* field) {
                     return *field == zip::overflow32;
                   })) {
    return;
  }
  const std::optional<Bytes> body = find_extra(extra, zip::zip64_extra_id);
  std::size_t at = 0;
  for (std::uint64_t* field : fields) {
    if (*field != zip::overflow32) continue;
    if (!body || body->size() - at < 8) {
      refuse(zip_name, quote_argument(entry.name) +
                           ": its sizes or offset overflow, but no Zip64 "
                           "field gives them");
    }
    *field = zip::get64(*body, at);
    at += 8;
  }
}

// A UTF-8 name that some writers add beside a code-page name, used when it
// belongs to the name as stored (its CRC-32 matches).
std::optional<std::string> unicode_path(Bytes extra, Bytes stored_name) {
  const std::optional<Bytes> body =
      find_extra(extra, zip::unicode_path_extra_id);
  if (!body || body->size() < 5 || (*body)[0] != 1) return std::nullopt;
  const auto name_crc = static_cast<std::uint32_t>(
      crc32(0, stored_name.data(), static_cast<uInt>(stored_name.size())));
  if (zip::get32(*body, 1) != name_crc) return std::nullopt;
  const Bytes utf8 = body->subspan(5);
  const std::string text(utf8.begin(), utf8.end());
  if (!is_utf8(text)) return std::nullopt;
  return zip_name_text(utf8, true);
}

// The entry at `at`; advances `at` past it.
ZipEntry read_entry(Bytes directory, std::size_t& at, std::uint64_t number,
                    std::string_view zip_name) {
  const std::string which = "central directory entry " + std::to_string(number);
  if (directory.size() - at < zip::central_entry_size) {
    refuse(zip_name, which + " runs past the end of the central directory");
  }
  if (zip::get32(directory, at) != zip::central_entry_signature) {
    refuse(zip_name, which + " is damaged (no signature)");
  }
  const std::uint16_t flags = zip::get16(directory, at + 8);
  const std::size_t name_length = zip::get16(directory, at + 28);
  const std::size_t extra_length = zip::get16(directory, at + 30);
  const std::size_t comment_length = zip::get16(directory, at + 32);
  const std::size_t variable = at + zip::central_entry_size;
  if (name_length + extra_length + comment_length >
      directory.size() - variable) {
    refuse(zip_name, which + " runs past the end of the central directory");
  }
  const Bytes stored_name = directory.subspan(variable, name_length);
  const Bytes extra = directory.subspan(variable + name_length, extra_length);

  // Zip tools of Unix and macOS write UTF-8 names without the flag.
  const std::uint8_t made_on = directory[at + 5];
  const bool unix_host = made_on == zip::host_unix || made_on == zip::host_osx;

  ZipEntry entry;
  entry.name =
      zip_name_text(stored_name, (flags & zip::flag_utf8) != 0 || unix_host);
  if ((flags & zip::flag_utf8) == 0) {
    if (auto utf8_name = unicode_path(extra, stored_name)) {
      entry.name = *utf8_name;
    }
  }
  entry.method = zip::get16(directory, at + 10);
  entry.encrypted = (flags & zip::flag_encrypted) != 0;
  entry.is_folder = entry.name.ends_with('/');
  entry.crc32 = zip::get32(directory, at + 16);
  entry.compressed_size = zip::get32(directory, at + 20);
  entry.size = zip::get32(directory, at + 24);
  entry.local_header_offset = zip::get32(directory, at + 42);
  apply_zip64_extra(extra, entry, zip_name);
  at = variable + name_length + extra_length + comment_length;
  return entry;
}

}  // namespace

std::vector<ZipEntry> read_zip_directory(std::span<const std::uint8_t> archive,
                                         std::string_view zip_name) {
  const Directory directory = locate_directory(archive, zip_name);
  const Bytes bytes =
      archive.subspan(static_cast<std::size_t>(directory.offset),
                      static_cast<std::size_t>(directory.size));
  std::vector<ZipEntry> entries;
  entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
      directory.entries, bytes.size() / zip::central_entry_size)));
  std::size_t at = 0;
  for (std::uint64_t number = 1; number <= directory.entries; ++number) {
    entries.push_back(read_entry(bytes, at, number, zip_name));
  }
  return entries;
}

}  // namespace glyphreel
