// Writing song zips as karaoke players load them: a few members, each
// stored or compressed with Deflate, readable by every ordinary zip tool.
// Pure: the caller writes the bytes through the platform layer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace glyphreel {

struct ZipMember {
  std::string name;  // UTF-8; flagged as such when it is not plain ASCII
  std::span<const std::uint8_t> bytes;
  bool deflate = true;  // false: stored, for data that is compressed already
};

// The whole archive: local headers and data in member order, the central
// directory, the end record (Zip64 records only where sizes need them).
// Every member carries `dos_time` (MS-DOS date in the high 16 bits, time in
// the low), so the same members always make the same bytes.
// A name longer than 65,535 bytes is a FatalError.
std::vector<std::uint8_t> zip_archive(std::span<const ZipMember> members,
                                      std::uint32_t dos_time);

// The MS-DOS date and time that a member carries: the date in the high 16
// bits (years from 1980, month, day), the time in the low (hour, minute,
// seconds halved). Years before 1980 or after 2107, which it cannot hold,
// come out as its first or last day.
std::uint32_t dos_date_time(int year, int month, int day, int hour, int minute,
                            int second);

// The same, with every size and offset of at least `zip64_from` bytes given
// in Zip64 fields: zip_archive() is this at 0xFFFFFFFF. A lower mark lets
// tests make Zip64 archives without gigabytes of data.
std::vector<std::uint8_t> zip_archive_zip64_from(
    std::span<const ZipMember> members, std::uint32_t dos_time,
    std::uint64_t zip64_from);

}  // namespace glyphreel
