#include "archive/zip_reader.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/deflate64.hpp"
#include "archive/songs_7z.hpp"
#include "archive/zip_writer.hpp"
#include "fatal_report.hpp"

namespace glyphreel {
namespace {

using Archive = std::vector<std::uint8_t>;

// "Artist - Song/" with Song.cdg (Deflate64), Song.nfo (stored) and
// Song.txt (Deflate), as 7-Zip wrote it: see fixtures/make-fixtures.
Archive seven_zip() {
  return Archive(std::begin(songs_7z_zip), std::end(songs_7z_zip));
}

std::uint32_t crc_of(std::string_view text) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uInt>(text.size())));
}

std::uint64_t field(const Archive& archive, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t k = width; k-- > 0;) value = value << 8 | archive[at + k];
  return value;
}

void put(Archive& archive, std::size_t at, std::uint64_t value,
         std::size_t width) {
  for (std::size_t k = 0; k < width; ++k) {
    archive[at + k] = static_cast<std::uint8_t>(k < 8 ? value >> (8 * k) : 0);
  }
}

// Where the end record and the k-th central directory entry start, in an
// archive without a comment.
std::size_t end_record(const Archive& zip) { return zip.size() - 22; }
std::size_t central(const Archive& zip, std::size_t k) {
  std::size_t at = field(zip, end_record(zip) + 16, 4);
  for (; k > 0; --k) {
    at += 46 + field(zip, at + 28, 2) + field(zip, at + 30, 2) +
          field(zip, at + 32, 2);
  }
  return at;
}

// An entry's compressed bytes, after its local header.
std::span<const std::uint8_t> stream_of(const Archive& zip,
                                        const ZipEntry& entry) {
  const std::size_t at = entry.local_header_offset;
  return std::span(zip).subspan(
      at + 30 + field(zip, at + 26, 2) + field(zip, at + 28, 2),
      entry.compressed_size);
}

// One stored member holding "song" as the writer makes it (flagged UTF-8
// when the name is not ASCII), the flag cleared when asked and an extra
// field added to its directory entry.
Archive one_member_zip(const std::string& name, bool utf8_flag,
                       std::string_view extra = "", std::uint8_t host = 0) {
  const std::vector<std::uint8_t> song = {'s', 'o', 'n', 'g'};
  const ZipMember member[] = {{name, song, false}};
  Archive zip = zip_archive(member, 0);
  const std::size_t entry = central(zip, 0);
  zip[entry + 5] = host;  // made by: 0 MS-DOS, 3 Unix, 19 macOS
  if (!utf8_flag) {
    zip[7] &= ~8;  // bit 11 of the flags
    zip[entry + 9] &= ~8;
  }
  zip.insert(
      zip.begin() + static_cast<std::ptrdiff_t>(entry + 46 + name.size()),
      extra.begin(), extra.end());
  put(zip, entry + 30, extra.size(), 2);
  const std::size_t end = end_record(zip);
  put(zip, end + 12, field(zip, end + 12, 4) + extra.size(), 4);
  return zip;
}

TEST(ZipReader, ReadsWhatSevenZipWrote) {
  const Archive zip = seven_zip();
  const std::vector<ZipEntry> entries = read_zip_directory(zip, "songs.zip");
  // Name, method, encrypted, folder, CRC-32, sizes, local header offset.
  const std::vector<ZipEntry> expected = {
      {"Artist - Song/Song.cdg", zip_deflate64, false, false, 0x974985bf, 13913,
       168000, 0},
      {"Artist - Song/Song.nfo", zip_stored, false, false, 0x080e51aa, 34, 34,
       13965},
      {"Artist - Song/Song.txt", zip_deflate, false, false, 0xb0145917, 5995,
       40469, 14051},
  };
  ASSERT_EQ(entries, expected);
  for (const ZipEntry& entry : entries) {
    // Extraction checks the CRC-32 that 7-Zip took of the input.
    EXPECT_EQ(extract_zip_entry(zip, entry, "songs.zip").size(), entry.size);
  }
  const auto nfo = extract_zip_entry(zip, entries[1], "songs.zip");
  EXPECT_EQ(std::string(nfo.begin(), nfo.end()),
            "Artist - Song\nkaraoke track, CD+G\n");

  // The input repeats 50,000 and 34,000 bytes from as far back: distance
  // codes 31 and 30. 7-Zip writes no match longer than 257 bytes, so never
  // length code 285 (deflate64_test makes streams that use it).
  const Deflate64Counts counts =
      inflate_deflate64(stream_of(zip, entries[0]), 168000).counts;
  EXPECT_GT(counts.distance_code_30, 0u);
  EXPECT_GT(counts.distance_code_31, 0u);
  EXPECT_EQ(counts.length_code_285, 0u);
}

TEST(ZipReader, ReadsNamesAndCommentsAsWritersStoreThem) {
  const std::string song = "song";
  const std::vector<std::uint8_t> bytes(song.begin(), song.end());
  const ZipMember members[] = {{"a/Song.cdg", bytes, true},
                               {"a/Song.mp3", bytes, false}};
  Archive comment = zip_archive(members, 0);
  put(comment, comment.size() - 2, 0xFFFF, 2);
  comment.resize(comment.size() + 0xFFFF, 'c');
  // A false end record inside the comment, whose own comment would run
  // past the end of the archive.
  put(comment, comment.size() - 40, 0x06054B50, 4);
  // Flag bit 3: CRC-32 and sizes in a data descriptor after the data, and
  // zeros in the local header.
  Archive descriptor = zip_archive(members, 0);
  descriptor[6] |= 1 << 3;
  descriptor[central(descriptor, 0) + 8] |= 1 << 3;
  put(descriptor, 14, 0, 12);
  // Id 0x7075, 10 bytes: version 1, the CRC-32 of the stored name, UTF-8.
  std::string unicode_path("\x75\x70\x0a\x00\x01", 5);
  for (int k = 0; k < 4; ++k) {
    unicode_path += static_cast<char>(crc_of("Cafe") >> (8 * k));
  }
  unicode_path += "Caf\xc3\xa9";

  const struct {
    const char* form;
    Archive zip;
    std::vector<std::string> names;
  } cases[] = {
      {"comment", comment, {"a/Song.cdg", "a/Song.mp3"}},
      {"data descriptor", descriptor, {"a/Song.cdg", "a/Song.mp3"}},
      {"code page 437",
       one_member_zip("Caf\x82\\Song", false),
       {"Caf\xc3\xa9/Song"}},
      {"UTF-8", one_member_zip("Caf\xc3\xa9", true), {"Caf\xc3\xa9"}},
      {"UTF-8 from macOS, not flagged",
       one_member_zip("Caf\xc3\xa9", false, "", 19),
       {"Caf\xc3\xa9"}},
      {"code page 437 from Unix, not being UTF-8",
       one_member_zip("Caf\x82", false, "", 3),
       {"Caf\xc3\xa9"}},
      {"flagged UTF-8 that is not", one_member_zip("\xff", true), {"\xc2\xa0"}},
      {"Unicode path field",
       one_member_zip("Cafe", true, unicode_path),
       {"Caf\xc3\xa9"}},
      {"folder", one_member_zip("a/", true), {"a/"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> names;
    for (const ZipEntry& entry : read_zip_directory(c.zip, "song.zip")) {
      names.push_back(entry.name);
      EXPECT_EQ(entry.is_folder, entry.name.ends_with('/')) << c.form;
      EXPECT_EQ(extract_zip_entry(c.zip, entry, "song.zip"), bytes) << c.form;
    }
    EXPECT_EQ(names, c.names) << c.form;
  }
}

TEST(ZipReader, NamesWhatIsWrongWithADamagedArchive) {
  const struct {
    std::function<void(Archive&)> damage;
    std::string report;
  } cases[] = {
      {[](Archive& zip) { zip.resize(zip.size() - 1); },
       "not a zip archive, or a truncated one: no end of central directory "
       "record"},
      {[](Archive& zip) { zip.erase(zip.begin(), zip.begin() + 100); },
       "the central directory lies past the end of the archive"},
      {[](Archive& zip) { put(zip, end_record(zip) + 4, 1, 2); },
       "the archive spans several disks, which is not supported"},
      {[](Archive& zip) { put(zip, end_record(zip) + 10, 0xFFFF, 2); },
       "the end record points to Zip64 records, but there are none"},
      {[](Archive& zip) { zip[central(zip, 1)] = 'X'; },
       "central directory entry 2 is damaged (no signature)"},
      {[](Archive& zip) { put(zip, end_record(zip) + 8, 0x00040004, 4); },
       "central directory entry 4 runs past the end of the central "
       "directory"},
      {[](Archive& zip) { put(zip, central(zip, 2) + 20, 0xFFFFFFFF, 4); },
       "\"Artist - Song/Song.txt\": its sizes or offset overflow, but no "
       "Zip64 field gives them"},
  };
  for (const auto& c : cases) {
    Archive zip = seven_zip();
    c.damage(zip);
    EXPECT_EQ(report_of([&] { read_zip_directory(zip, "songs.zip"); }),
              "songs.zip: " + c.report);
  }
}

TEST(ZipReader, NamesWhatIsWrongWithADamagedEntry) {
  // Entries 0, 1 and 2: Song.cdg (Deflate64), .nfo (stored), .txt (Deflate).
  const auto field = [](std::size_t entry, std::size_t at, std::uint64_t value,
                        std::size_t width) {
    return
        [=](Archive& zip) { put(zip, central(zip, entry) + at, value, width); };
  };
  const struct {
    std::size_t entry;
    std::function<void(Archive&)> damage;
    std::string report;
  } cases[] = {
      {1, field(1, 8, 1, 2), "encrypted entries are not supported"},
      {1, field(1, 10, 14, 2),
       "compression method 14 is not supported (only stored, Deflate and "
       "Deflate64)"},
      {2, field(2, 24, 0x80000001, 4),
       "claims 2147483649 bytes, more than the 2147483648 an entry may hold"},
      {1, field(1, 42, 1, 4), "no local header at offset 1"},
      {1, field(1, 42, 0xFFFFFF, 4),
       "its local header lies past the end of the archive"},
      {1, field(1, 20, 0xFFFFFF, 4),
       "its data run past the end of the archive"},
      {2, field(2, 24, 40470, 4),
       "gives 40469 bytes where the central directory says 40470"},
      {1, field(1, 16, 0x080e51ab, 4),
       "CRC-32 0x080e51aa where the central directory says 0x080e51ab: the "
       "data are damaged"},
      {0, [](Archive& zip) { zip[7000] ^= 0x10; },
       "damaged Deflate64 stream: invalid distance too far back"},
      {2, [](Archive& zip) { zip[15200] ^= 0x10; },
       "damaged Deflate stream: invalid distance too far back"},
  };
  const char* const names[] = {"Song.cdg", "Song.nfo", "Song.txt"};
  for (const auto& c : cases) {
    Archive zip = seven_zip();
    c.damage(zip);
    const ZipEntry entry = read_zip_directory(zip, "songs.zip")[c.entry];
    EXPECT_EQ(report_of([&] { extract_zip_entry(zip, entry, "songs.zip"); }),
              std::string("songs.zip: \"Artist - Song/") + names[c.entry] +
                  "\": " + c.report);
  }
}

}  // namespace
}  // namespace glyphreel
