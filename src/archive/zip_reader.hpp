// Reading song zips: the central directory, and one entry's bytes inflated
// (stored, Deflate or Deflate64) and checked. Pure: the caller reads the
// archive into memory through the platform layer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glyphreel {

inline constexpr std::uint16_t zip_stored = 0;
inline constexpr std::uint16_t zip_deflate = 8;
inline constexpr std::uint16_t zip_deflate64 = 9;

// The most an entry may inflate to; an entry that claims more is refused
// before anything is allocated for it.
inline constexpr std::uint64_t zip_max_entry_size = std::uint64_t{1} << 31;

struct ZipEntry {
  std::string name;  // UTF-8, '/' between folders (CP437 names converted)
  std::uint16_t method = zip_stored;
  bool encrypted = false;
  bool is_folder = false;  // the name ends in '/'
  std::uint32_t crc32 = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;  // uncompressed
  std::uint64_t local_header_offset = 0;
  bool operator==(const ZipEntry&) const = default;
};

// The central directory's entries in their stored order (Zip64 records
// followed where the classic fields overflow). A damaged or truncated
// archive is a FatalError whose text names the zip and what is wrong.
std::vector<ZipEntry> read_zip_directory(std::span<const std::uint8_t> archive,
                                         std::string_view zip_name);

// The entry's bytes, inflated and checked against its CRC-32 and size. A
// FatalError names the zip, the entry and the reason: an unsupported
// method, encryption, a damaged stream, a CRC or size that does not match.
std::vector<std::uint8_t> extract_zip_entry(
    std::span<const std::uint8_t> archive, const ZipEntry& entry,
    std::string_view zip_name);

}  // namespace glyphreel
