#include "import/cue_sheet.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/fatal_error.hpp"

namespace glyphreel {
namespace {

TEST(CueSheet, ReadsTheSheetsRippersWrite) {
  struct Accepted {
    std::string text;
    CueSheet sheet;
    std::vector<std::uint64_t> file_sectors;
    std::vector<TocTrack> tracks;
  };
  const std::vector<Accepted> accepted = {
      // One file per track with a pregap in the second file: CRLF, a byte
      // order mark, quoted names with blanks, the ignored commands.
      // The disc's and the tracks' names kept.
      {"\xEF\xBB\xBFREM GENRE Pop\r\nCATALOG 0000000000000\r\n"
       "PERFORMER \"Singer\"\r\nTITLE \"Album\"\r\n\r\n"
       "FILE \"Track 01.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n"
       "    TITLE \"One\"\r\n    FLAGS DCP PRE\r\n    ISRC ABCDE1234567\r\n"
       "    INDEX 01 00:00:00\r\n"
       "FILE \"Track 02.bin\" BINARY\r\n  TRACK 02 AUDIO\r\n"
       "    PERFORMER Two Words\r\n    TITLE \"Old\"\r\n    TITLE \"\"\r\n"
       "    INDEX 00 00:00:00\r\n    INDEX 01 00:02:00\r\n",
       {.files = {"Track 01.bin", "Track 02.bin"},
        .tracks = {{.number = 1, .file = 0, .index_01 = 0, .title = "One"},
                   {.number = 2,
                    .file = 1,
                    .index_01 = 150,
                    .performer = "Two Words"}},
        .title = "Album",
        .performer = "Singer"},
       {1000, 2000},
       {{0, false}, {1150, false}}},
      // One file of three tracks, data first and last, keywords in lower
      // case, INDEX 02, minutes past 99.
      {"CDTEXTFILE \"disc.cdt\"\nfile disc.bin binary\ntrack 01 mode1/2352\n"
       "index 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 01:00:00\n"
       "INDEX 01 01:02:00\nINDEX 02 01:10:00\nTRACK 03 MODE2/2352\n"
       "SONGWRITER \"Writer\"\nINDEX 01 100:00:74\n",
       {{"disc.bin"},
        {{1, true, 0, 0}, {2, false, 0, 4650}, {3, true, 0, 450074}}},
       {450075},
       {{0, true}, {4650, false}, {450074, true}}},
      // A pregap that ends the file before its track's INDEX 01.
      {"FILE 01.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
       "TRACK 02 AUDIO\nINDEX 00 00:50:00\nFILE 02.bin BINARY\n"
       "INDEX 01 00:00:00\n",
       {{"01.bin", "02.bin"}, {{1, false, 0, 0}, {2, false, 1, 0}}},
       {4000, 3000},
       {{0, false}, {4000, false}}},
      // Numbers counted from a first track other than 1, tabs, a remark with
      // an unmatched quote, no line end at the end.
      {"REM COMMENT \"unmatched\nFILE \"a b.bin\" BINARY\n\tTRACK 03 AUDIO\n"
       "\t\tINDEX 01 00:00:10",
       {{"a b.bin"}, {{3, false, 0, 10}}},
       {11},
       {{10, false}}},
  };
  for (const Accepted& a : accepted) {
    const CueSheet sheet = parse_cue_sheet(a.text, "disc.cue");
    EXPECT_EQ(sheet, a.sheet) << a.text;
    EXPECT_EQ(cue_layout(sheet, a.file_sectors).tracks, a.tracks) << a.text;
  }
}

std::string refusal(const std::string& text) {
  try {
    parse_cue_sheet(text, "disc.cue");
  } catch (const FatalError& error) {
    return error.report();
  }
  return "no refusal";
}

TEST(CueSheet, RefusesWhatItCannotHonourNamingTheLine) {
  const std::string head = "FILE a.bin BINARY\nTRACK 01 AUDIO\n";
  const std::string one = head + "INDEX 01 00:00:00\n";
  const std::pair<std::string, std::string> refused[] = {
      {head + "PREGAP 00:02:00\nPREGAP 00:01:00\n",
       "line 4: a second PREGAP in TRACK 01"},
      {one + "PREGAP 00:02:00\n",
       "line 4: PREGAP after an INDEX of TRACK 01: the gap comes before the "
       "track's indices"},
      {head + "POSTGAP 00:02:00\n",
       "line 3: POSTGAP before the INDEX 01 of TRACK 01: the gap comes after "
       "the track's indices"},
      {one + "POSTGAP 00:02:00\nINDEX 02 00:01:00\n",
       "line 5: INDEX after the track's POSTGAP: the gap ends it"},
      {one + "POSTGAP 2\n",
       "line 4: time 2 is not mm:ss:ff (seconds below 60, frames below 75)"},
      {"FILE a.bin BINARY\nPREGAP 00:02:00\n",
       "line 2: PREGAP before any TRACK"},
      {one + "TRACK 02 CDG\n",
       "line 4: TRACK 02 CDG follows tracks that are not CDG: a sheet's tracks "
       "are all CDG (2448-byte sectors with their subchannel) or none"},
      {one + "ARRANGER \"Someone\"\n", "line 4: unknown command ARRANGER"},
      {"TRACK 01 AUDIO\n", "line 1: TRACK before any FILE"},
      {"FILE a.bin BINARY\nINDEX 01 00:00:00\n",
       "line 2: INDEX before any TRACK"},
      {"FILE \"a.bin BINARY\n", "line 1: unterminated quote"},
      {"FILE \"a\"b BINARY\n", "line 1: no blank after the closing quote"},
      {"FILE my song.bin BINARY\n",
       "line 1: FILE takes a name and a type (quote a name with blanks)"},
      {"FILE \"\" BINARY\n", "line 1: FILE has an empty name"},
      {"FILE a.wav WAVE\n",
       "line 1: FILE type WAVE is not supported: only a BINARY file holds raw "
       "2352-byte sectors"},
      {"FILE a.bin BINARY\nTRACK 01 MODE1/2048\n",
       "line 2: TRACK mode MODE1/2048 is not supported: only AUDIO, CDG, "
       "MODE1/2352 and MODE2/2352 tracks are raw sectors"},
      {"FILE a.bin BINARY\nTRACK 1 AUDIO extra\n",
       "line 2: TRACK takes a number and a mode"},
      {"FILE a.bin BINARY\nTRACK 100 AUDIO\n",
       "line 2: track number 100 is not 01 to 99"},
      {one + "TRACK 03 AUDIO\n",
       "line 4: TRACK 03 follows TRACK 01: track numbers count up by one"},
      {head + "INDEX 00 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n",
       "line 2: TRACK 01 has no INDEX 01"},
      {one + "INDEX 00 00:00:00\n",
       "line 4: INDEX 00 out of order: a track's indices count up by one from "
       "00 or 01"},
      {head + "INDEX 02 00:00:00\n",
       "line 3: INDEX 02 out of order: a track's indices count up by one from "
       "00 or 01"},
      {head + "INDEX 01\n", "line 3: INDEX takes a number and a time mm:ss:ff"},
      {head + "INDEX 01 00:60:00\n",
       "line 3: time 00:60:00 is not mm:ss:ff (seconds below 60, frames below "
       "75)"},
      {head + "INDEX 01 00:00:75\n",
       "line 3: time 00:00:75 is not mm:ss:ff (seconds below 60, frames below "
       "75)"},
      {head + "INDEX 01 0:1\n",
       "line 3: time 0:1 is not mm:ss:ff (seconds below 60, frames below 75)"},
      {head + "INDEX 00 00:00:05\nINDEX 01 00:00:05\n",
       "line 4: INDEX 01 at 00:00:05 does not come after the index before it "
       "in its FILE"},
      {one + "TRACK 02 AUDIO\nINDEX 01 00:00:00\n",
       "line 5: INDEX 01 at 00:00:00 does not come after the index before it "
       "in its FILE"},
      {"FILE a.bin BINARY\nFILE b.bin BINARY\n",
       "line 1: FILE \"a.bin\" has no track or index"},
      {"REM nothing else\n", "line 1: the sheet has no track"},
      {"", "the sheet has no track"},
      // Truncated sheets name their last line.
      {head + "\n", "line 2: the sheet ends before TRACK 01 has an INDEX 01"},
      {head + "INDEX 00 00:00:00",
       "line 3: the sheet ends before TRACK 01 "
       "has an INDEX 01"},
      {one + "FILE \"b.bin\" BINARY\r\n",
       "line 4: the sheet ends before FILE \"b.bin\" has a track"},
      // What comes from the sheet cannot act on a terminal: control
      // characters and bytes that are not UTF-8 are shown escaped.
      {one + "\x1b]0;title\x07 x\n",
       "line 4: unknown command \\u{1b}]0;title\\u{7}"},
      {"FILE a.bin \xff\x1b[2J\n",
       "line 1: FILE type \\x{ff}\\u{1b}[2J is not supported: only a BINARY "
       "file holds raw 2352-byte sectors"},
      {"FILE \"a\x9b\xc3\" BINARY\nFILE b.bin BINARY\n",
       "line 1: FILE \"a\\x{9b}\\x{c3}\" has no track or index"},
      {head + "INDEX 01 00:00:0\r7\n",
       "line 3: time 00:00:0\\r7 is not mm:ss:ff (seconds below 60, frames "
       "below 75)"},
  };
  for (const auto& [text, message] : refused) {
    const std::string where =
        message.starts_with("line") ? "disc.cue " : "disc.cue: ";
    EXPECT_EQ(refusal(text), where + message) << text;
  }
}

TEST(CueSheet, RefusesATrackThatStartsPastItsFile) {
  const CueSheet sheet = parse_cue_sheet(
      "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
      "FILE b.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:20\n",
      "disc.cue");
  EXPECT_EQ(cue_layout(sheet, std::vector<std::uint64_t>{5, 21}).tracks,
            (std::vector<TocTrack>{{0, false}, {25, false}}));
  try {
    cue_layout(sheet, std::vector<std::uint64_t>{5, 20});
    ADD_FAILURE() << "no refusal";
  } catch (const FatalError& error) {
    EXPECT_EQ(error.report(),
              "track 2 starts at sector 20 of \"b.bin\", which holds only 20 "
              "sectors");
  }
}

// Gaps in no file lie on the disc between the files' sectors: the table of
// contents counts them, the runs leave them to zero audio and idle packs.
TEST(CueSheet, LaysGapsInNoFileBetweenTheFilesSectors) {
  struct Case {
    std::string text;
    std::vector<std::uint64_t> file_sectors;
    CueLayout layout;
  };
  constexpr std::size_t bin = 2352;
  const auto file = [](std::uint64_t lba, std::uint64_t sectors, std::size_t f,
                       std::uint64_t first, std::size_t size,
                       bool cdg = false) {
    return DiscRun{.first_lba = lba,
                   .sectors = sectors,
                   .file = f,
                   .offset = first * size,
                   .block_size = size,
                   .subchannel = cdg};
  };
  const auto gap = [](std::uint64_t lba, std::uint64_t sectors,
                      std::size_t size) {
    return DiscRun{.first_lba = lba, .sectors = sectors, .block_size = size};
  };
  const std::vector<Case> cases = {
      // A first-track pregap in no file, as toc2cue writes it; a postgap
      // and the next track's pregap in the middle of one file, before its
      // INDEX 00; a last postgap after the file.
      {"FILE a.bin BINARY\nTRACK 01 AUDIO\nPREGAP 00:02:00\n"
       "INDEX 01 00:00:00\nPOSTGAP 00:00:10\nTRACK 02 AUDIO\n"
       "PREGAP 00:00:05\nINDEX 00 00:00:50\nINDEX 01 00:00:60\n"
       "POSTGAP 00:00:03\n",
       {100},
       {{{150, false}, {225, false}},
        268,
        {gap(0, 150, bin), file(150, 50, 0, 0, bin), gap(200, 15, bin),
         file(215, 50, 0, 50, bin), gap(265, 3, bin)}}},
      // A postgap that ends the first file, a pregap that starts the next:
      // one gap; CDG tracks of 2448-byte sectors with their subchannel.
      {"FILE a.bin BINARY\nTRACK 01 CDG\nINDEX 01 00:00:00\n"
       "POSTGAP 00:00:02\nFILE b.bin BINARY\nTRACK 02 CDG\n"
       "PREGAP 00:00:04\nINDEX 01 00:00:00\n",
       {30, 20},
       {{{0, false}, {36, false}},
        56,
        {file(0, 30, 0, 0, 2448, true), gap(30, 6, 2448),
         file(36, 20, 1, 0, 2448, true)}}},
  };
  for (const Case& c : cases) {
    const CueSheet sheet = parse_cue_sheet(c.text, "disc.cue");
    EXPECT_EQ(cue_layout(sheet, c.file_sectors), c.layout) << c.text;
  }
}

}  // namespace
}  // namespace glyphreel
