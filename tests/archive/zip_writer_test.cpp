#include "archive/zip_writer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/zip_reader.hpp"
#include "fatal_report.hpp"

namespace glyphreel {
namespace {

std::uint64_t field(const std::vector<std::uint8_t>& zip, std::uint64_t at,
                    std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t k = width; k-- > 0;) value = value << 8 | zip[at + k];
  return value;
}

// 2024-05-17 12:34:56: the date in the high half, the time (in two-second
// steps) in the low.
constexpr std::uint32_t dos_time =
    (44u << 9 | 5 << 5 | 17) << 16 | (12u << 11 | 34 << 5 | 56 / 2);

TEST(ZipWriter, WritesMembersThatReadBack) {
  // Packs that repeat, as a song's graphics do; noise that no Deflate
  // shrinks; a short text.
  std::vector<std::uint8_t> cdg(100000), noise(5000);
  for (std::size_t k = 0; k < cdg.size(); k += 96) cdg[k] = 9;
  std::uint32_t state = 1;
  for (auto& byte : noise) {
    byte =
        static_cast<std::uint8_t>((state = state * 1664525 + 1013904223) >> 24);
  }
  std::string lines;
  for (int k = 0; k < 20; ++k) lines += "Caf\xc3\xa9\n";
  const std::vector<std::uint8_t> text(lines.begin(), lines.end());
  const ZipMember members[] = {{"Song/Song.cdg", cdg, true},
                               {"Song/Song.mp3", noise, false},
                               {"Song/Caf\xc3\xa9.txt", text, true},
                               {"Song/noise.bin", noise, true}};
  // Deflate where it shrinks the member; the bit for UTF-8 names where the
  // name is not ASCII.
  const std::uint16_t methods[] = {zip_deflate, zip_stored, zip_deflate,
                                   zip_stored};
  const bool utf8[] = {false, false, true, false};

  for (const std::uint64_t zip64_from :
       {std::uint64_t{0xFFFFFFFF}, std::uint64_t{0}}) {
    const auto zip = zip_archive_zip64_from(members, dos_time, zip64_from);
    const auto entries = read_zip_directory(zip, "song.zip");
    ASSERT_EQ(entries.size(), std::size(members));
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const ZipEntry& entry = entries[k];
      EXPECT_EQ(entry.name, members[k].name);
      EXPECT_EQ(entry.method, methods[k]) << entry.name;
      EXPECT_EQ(extract_zip_entry(zip, entry, "song.zip"),
                std::vector<std::uint8_t>(members[k].bytes.begin(),
                                          members[k].bytes.end()));
      const std::uint64_t local = entry.local_header_offset;
      EXPECT_EQ(field(zip, local + 6, 2), utf8[k] ? 1u << 11 : 0u);
      EXPECT_EQ(field(zip, local + 10, 4), dos_time);
      // Version 4.5 where the member needs Zip64 fields, else 2.0.
      EXPECT_EQ(field(zip, local + 4, 2), zip64_from == 0 ? 45u : 20u);
    }
    // The directory's offset: in the end record, or in Zip64 records alone.
    EXPECT_EQ(field(zip, zip.size() - 6, 4) == 0xFFFFFFFF, zip64_from == 0);
  }

  const ZipMember long_name[] = {{std::string(65536, 'a'), text, true}};
  EXPECT_EQ(report_of([&] { zip_archive(long_name, dos_time); }),
            "a zip member's name is longer than 65,535 bytes");
}

TEST(ZipWriter, DatesMembersAsMsDosDoes) {
  EXPECT_EQ(dos_date_time(2024, 5, 17, 12, 34, 56), dos_time);
  // The first and the last day it can hold stand for the days beyond.
  EXPECT_EQ(dos_date_time(1980, 1, 1, 0, 0, 1), (1u << 5 | 1) << 16);
  EXPECT_EQ(dos_date_time(1970, 6, 1, 12, 0, 0), (1u << 5 | 1) << 16);
  EXPECT_EQ(dos_date_time(2200, 1, 1, 0, 0, 0),
            (127u << 9 | 12 << 5 | 31) << 16 | (23u << 11 | 59 << 5 | 29));
}

}  // namespace
}  // namespace glyphreel
