// The records of a zip archive as the reader and the writer share them:
// their signatures, fixed sizes and field offsets, and little-endian access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glyphreel::zip {

inline constexpr std::uint32_t local_header_signature = 0x04034B50;
inline constexpr std::uint32_t central_entry_signature = 0x02014B50;
inline constexpr std::uint32_t end_record_signature = 0x06054B50;
inline constexpr std::uint32_t zip64_end_record_signature = 0x06064B50;
inline constexpr std::uint32_t zip64_locator_signature = 0x07064B50;

// Signature, version needed, flags, method, time, date, CRC-32, compressed
// and uncompressed size, name length, extra length; the name and extra
// field follow.
inline constexpr std::size_t local_header_size =
    4 + 2 + 2 + 2 + 2 + 2 + 4 + 4 + 4 + 2 + 2;
static_assert(local_header_size == 30);

// Signature, version made by, version needed, flags, method, time, date,
// CRC-32, compressed and uncompressed size, name, extra and comment lengths,
// first disk, internal and external attributes, local header offset; the
// name, extra field and comment follow.
// The system a central entry was made on: the high byte of "made by".
inline constexpr std::uint8_t host_unix = 3;
inline constexpr std::uint8_t host_osx = 19;
inline constexpr std::size_t central_entry_size =
    4 + 2 + 2 + 2 + 2 + 2 + 2 + 4 + 4 + 4 + 2 + 2 + 2 + 2 + 2 + 4 + 4;
static_assert(central_entry_size == 46);

// Signature, this disk, the directory's first disk, entries on this disk,
// entries in all, directory size, directory offset, comment length; the
// comment follows.
inline constexpr std::size_t end_record_size = 4 + 2 + 2 + 2 + 2 + 4 + 4 + 2;
static_assert(end_record_size == 22);
inline constexpr std::size_t max_comment_size = 0xFFFF;

// Signature, the Zip64 end record's disk, its offset, number of disks.
inline constexpr std::size_t zip64_locator_size = 4 + 4 + 8 + 4;
static_assert(zip64_locator_size == 20);

// Signature, size of the rest, version made by, version needed, this disk,
// the directory's first disk, entries on this disk, entries in all,
// directory size, directory offset.
inline constexpr std::size_t zip64_end_record_size =
    4 + 8 + 2 + 2 + 4 + 4 + 8 + 8 + 8 + 8;
static_assert(zip64_end_record_size == 56);

// Values that mean "look in the Zip64 records".
inline constexpr std::uint16_t overflow16 = 0xFFFF;
inline constexpr std::uint32_t overflow32 = 0xFFFFFFFF;

// Extra fields: a 2-byte id and a 2-byte length before each body.
inline constexpr std::size_t extra_header_size = 2 + 2;
inline constexpr std::uint16_t zip64_extra_id = 0x0001;
inline constexpr std::uint16_t unicode_path_extra_id = 0x7075;

// General-purpose flags.
inline constexpr std::uint16_t flag_encrypted = 1 << 0;
inline constexpr std::uint16_t flag_data_descriptor = 1 << 3;
inline constexpr std::uint16_t flag_utf8 = 1 << 11;

// Versions needed to extract: 2.0 for Deflate and folders, 4.5 for Zip64.
inline constexpr std::uint16_t version_deflate = 20;
inline constexpr std::uint16_t version_zip64 = 45;

// Little-endian fields; the caller has checked that they lie in `bytes`.
inline std::uint64_t get_le(std::span<const std::uint8_t> bytes, std::size_t at,
                            std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t k = width; k-- > 0;) value = value << 8 | bytes[at + k];
  return value;
}
inline std::uint16_t get16(std::span<const std::uint8_t> bytes,
                           std::size_t at) {
  return static_cast<std::uint16_t>(get_le(bytes, at, 2));
}
inline std::uint32_t get32(std::span<const std::uint8_t> bytes,
                           std::size_t at) {
  return static_cast<std::uint32_t>(get_le(bytes, at, 4));
}
inline std::uint64_t get64(std::span<const std::uint8_t> bytes,
                           std::size_t at) {
  return get_le(bytes, at, 8);
}

inline void put_le(std::vector<std::uint8_t>& out, std::uint64_t value,
                   std::size_t width) {
  for (std::size_t k = 0; k < width; ++k) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
  }
}

}  // namespace glyphreel::zip
