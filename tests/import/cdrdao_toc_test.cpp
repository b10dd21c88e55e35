#include "import/cdrdao_toc.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fatal_report.hpp"

namespace glyphreel {
namespace {

constexpr std::uint64_t raw_block = 2448;

// What cdrdao read-cd --read-subchan rw_raw writes: one .bin of 2448-byte
// blocks, each track's pregap inside it after the first.
constexpr std::string_view rw_raw_rip = R"(CD_DA

// Track 1
TRACK AUDIO RW_RAW
NO COPY
NO PRE_EMPHASIS
TWO_CHANNEL_AUDIO
FILE "x.bin" 0 04:10:20


// Track 2
TRACK AUDIO RW_RAW
NO COPY
NO PRE_EMPHASIS
TWO_CHANNEL_AUDIO
FILE "x.bin" 04:10:20 03:00:00
START 00:02:00
INDEX 01:00:00
)";

// Gaps in no file, byte offsets and lengths in samples and bytes, a data
// track, the byte orders.
constexpr std::string_view gaps_and_offsets = R"(CD_ROM
CATALOG "0123456789012"
TRACK MODE1_RAW
DATAFILE "data.bin" #16 00:00:10 // length in bytes: 23520
ZERO 4704
TRACK AUDIO
COPY
PRE_EMPHASIS
FOUR_CHANNEL_AUDIO
ISRC "USABC0100001"
PREGAP 00:00:05
AUDIOFILE "audio.raw" SWAP #100 1176 1764
TRACK AUDIO
SILENCE 588
START
FILE "song.wav" 0
TRACK AUDIO
FILE "back.wav" SWAP 0 0
)";

// CD-TEXT for the disc and a track; the second track runs to its file's
// end, cooked sub-channel.
constexpr std::string_view cd_text = R"(CD_DA
CD_TEXT {
  LANGUAGE_MAP {
    0 : EN
  }
  LANGUAGE 0 {
    TITLE "Karaoke \"Hits\""
    PERFORMER "Caf\351 Singers"
    SIZE_INFO { 0, 1, 2, 0, 0, 0,
                0, 0 }
  }
}
track audio rw
cd_text { LANGUAGE 0 { TITLE "First" PERFORMER "Someone" }
          LANGUAGE 1 { TITLE "Erste" } }
FILE "c.bin" 0 00:00:20
TRACK AUDIO RW
FILE "c.bin" 00:00:20
)";

TEST(CdrdaoToc, LaysOutTheTracksRipsDescribe) {
  struct Accepted {
    std::string_view text;
    std::vector<TocFile> files;
    std::vector<TocFileExtent> extents;
    CdrdaoLayout layout;
  };
  const std::vector<Accepted> accepted = {
      {rw_raw_rip,
       {{"x.bin", false}},
       {{0, 32270 * raw_block}},
       {{{0, false}, {18770 + 150, false}},
        32270,
        {{0, 18770, 0, 0, raw_block, true, true},
         {18770, 13500, 0, 18770 * raw_block, raw_block, true, true}},
        SubchannelForm::Interleaved}},
      {gaps_and_offsets,
       {{"data.bin", false},
        {"audio.raw", false},
        {"song.wav", true},
        {"back.wav", true}},
       {{0, 16 + 10 * 2352}, {0, 100 + 5 * 2352}, {44, 4 * 2352}, {44, 2352}},
       {{{0, true}, {17, false}, {21, false}, {25, false}},
        26,
        {{0, 10, 0, 16, 2352, false, false},
         {10, 2, {}, 0, 2352, false, false},
         {12, 5, {}, 0, 2352, false, false},
         {17, 3, 1, 100 + 2 * 2352, 2352, false, false},
         {20, 1, {}, 0, 2352, false, false},
         {21, 4, 2, 44, 2352, false, false},
         {25, 1, 3, 44, 2352, true, false}},
        {}}},
      {cd_text,
       {{"c.bin", false}},
       {{0, 50 * raw_block}},
       {{{0, false}, {20, false}},
        50,
        {{0, 20, 0, 0, raw_block, true, true},
         {20, 30, 0, 20 * raw_block, raw_block, true, true}},
        SubchannelForm::Cooked}},
  };
  for (const Accepted& a : accepted) {
    const CdrdaoToc toc = parse_cdrdao_toc(a.text, "disc.toc");
    EXPECT_EQ(toc.files, a.files) << a.text;
    EXPECT_EQ(cdrdao_layout(toc, a.extents, "disc.toc"), a.layout) << a.text;
  }
  const CdrdaoToc toc = parse_cdrdao_toc(cd_text, "disc.toc");
  EXPECT_EQ(toc.text, (CdText{"Karaoke \"Hits\"", "Caf\xE9 Singers"}));
  EXPECT_EQ(toc.tracks[0].text, (CdText{"First", "Someone"}));
  EXPECT_EQ(toc.tracks[1].text, CdText{});
}

TEST(CdrdaoToc, RefusesWhatItCannotHonourNamingTheLineAndWord) {
  const std::string head = "TRACK AUDIO\n";
  const std::string one = head + "FILE \"a.bin\" 0\n";
  const std::pair<std::string, std::string> refused[] = {
      {"", "disc.toc: the file has no TRACK"},
      {"CD_DA // nothing else\n", "disc.toc line 1: the file has no TRACK"},
      {one + "SUBTITLE \"x\"\n", "line 3: unknown statement SUBTITLE"},
      {"{\n", "line 1: a statement cannot begin with {"},
      {"FILE \"a.bin\" 0\n", "line 1: FILE before any TRACK"},
      {one + "CD_DA\n",
       "line 3: CD_DA after the first TRACK: it belongs before"},
      {"CATALOG \"123\"\n" + one, "line 1: CATALOG \"123\" is not 13 digits"},
      {"CATALOG 0123456789012\n" + one,
       "line 1: CATALOG takes 13 digits in quotes, not 0123456789012"},
      {"TRACK MODE1\n",
       "line 1: TRACK MODE1 is not supported: its 2048-byte blocks are not raw "
       "2352-byte sectors (read data tracks raw, as MODE1_RAW or MODE2_RAW)"},
      {"TRACK CDG\n", "line 1: unknown track mode CDG"},
      // What comes from the file is shown escaped.
      {one + "SUB\xffTITLE\n", "line 3: unknown statement SUB\\x{ff}TITLE"},
      {"CATALOG \"1\xff\"\n" + one,
       "line 1: CATALOG \"1\\x{ff}\" is not 13 digits"},
      {"TRACK \"AUDIO\"\n", "line 1: TRACK takes a track mode, not \"AUDIO\""},
      {head + "FILE \"a.bin\" #18446744073709551615 00:00:01\n",
       "line 2: byte offset 18446744073709551615 and start lie past any file"},
      {"CD_TEXT LANGUAGE\n",
       "line 1: CD_TEXT takes a block in braces, not LANGUAGE"},
      {"TRACK AUDIO RW_RAW\nFILE \"a.bin\" 0\nTRACK AUDIO RW\n",
       "line 3: TRACK RW follows tracks of the other sub-channel mode: a "
       "disc's tracks carry one kind"},
      {head + "TRACK AUDIO\n",
       "line 1: TRACK 01 has no SILENCE, ZERO, FILE or DATAFILE"},
      {head + "NO SWAP\n", "line 2: NO takes COPY or PRE_EMPHASIS, not SWAP"},
      {head + "FILE a.bin 0\n",
       "line 2: FILE takes a quoted file name, not a.bin"},
      {head + "FILE \"\" 0\n", "line 2: FILE has an empty name"},
      {head + "FILE \"a.bin\" #x1 0\n",
       "line 2: byte offset #x1 is not # and a number"},
      {head + "FILE \"a.bin\" SWAP\n",
       "line 2: FILE takes a start (mm:ss:ff or a number), not the end of the "
       "file"},
      {head + "FILE \"a.bin\" 0 1000\n",
       "line 2: length 1000 is not a whole number of sectors (588 samples "
       "each)"},
      {"TRACK MODE2_RAW RW_RAW\nDATAFILE \"d.bin\" 2352\n",
       "line 2: length 2352 is not a whole number of sectors (2448 bytes "
       "each)"},
      {head + "FILE \"a.bin\" 0 00:60:00\n",
       "line 2: time 00:60:00 is not mm:ss:ff (seconds below 60, frames below "
       "75)"},
      {head + "FILE \"a.bin\" 0 1x\n",
       "line 2: 1x is not mm:ss:ff or a number"},
      {head + "SILENCE 5880000000000000\n",
       "line 2: length 5880000000000000 is longer than any disc"},
      {"TRACK MODE1_RAW\nFILE \"a.bin\" 0\n",
       "line 2: FILE holds audio samples: a data track takes DATAFILE"},
      {head + "DATAFILE \"a.bin\"\n",
       "line 2: DATAFILE holds data blocks: an audio track takes FILE"},
      {head + "SILENCE 0\n", "line 2: SILENCE of no length"},
      {one + "PREGAP 00:02:00\n",
       "line 3: PREGAP must come first in its track, without START"},
      {head + "START\nPREGAP 00:02:00\n",
       "line 3: PREGAP must come first in its track, without START"},
      {one + "START 00:00:01\nSTART\n",
       "line 4: a second START, or START after PREGAP: index 1 is set"},
      {one + "START\n",
       "line 3: START follows a file run without a length: where index 1 lies "
       "is not known"},
      {one + "INDEX 00:00:10\nINDEX 00:00:10\n",
       "line 4: INDEX positions count from index 1 and must increase"},
      {one + "ISRC X\n", "line 3: ISRC takes a quoted code, not X"},
      {head + "FILE \"a.bin \n", "line 2: unterminated quote"},
      {head + "CD_TEXT { LANGUAGE 0 { TITLE \"\\777\" } }\n",
       "line 2: escape \\777 is not a byte"},
      {head + "FILE \"a\x01\" 0\nFILE \x01\n",
       "line 3: control byte 1 outside a string"},
      {"CD_TEXT {\n  LANGUAGE_MAP { 0 : EN\n" + one,
       "line 2: the block that opens here is not closed"},
      {"CD_TEXT {\n  TITLE \"x\"\n}\n" + one,
       "line 2: unknown word TITLE in CD_TEXT"},
      {"CD_TEXT { LANGUAGE x {\n",
       "line 1: LANGUAGE takes a block number, not x"},
      {"CD_TEXT { LANGUAGE 0 { TITLE 1 } }\n",
       "line 1: TITLE takes a string or bytes in braces, not 1"},
      {"CD_TEXT { LANGUAGE 0 { \"x\" } }\n",
       "line 1: a CD_TEXT item has a name, not \"x\""},
  };
  for (const auto& [text, message] : refused) {
    const std::string where = message.starts_with("line") ? "disc.toc " : "";
    EXPECT_EQ(report_of([&] { parse_cdrdao_toc(text, "disc.toc"); }),
              where + message)
        << text;
  }
  std::string hundred;
  for (int t = 0; t < 100; ++t) hundred += "TRACK AUDIO SILENCE 1:0:0\n";
  EXPECT_EQ(report_of([&] { parse_cdrdao_toc(hundred, "disc.toc"); }),
            "disc.toc line 100: a 100th TRACK: a disc holds at most 99");
}

TEST(CdrdaoToc, RefusesRunsTheirFilesDoNotHold) {
  const std::pair<std::string, std::string> refused[] = {
      {"TRACK AUDIO\nFILE \"a.bin\" 0 00:00:02\n",
       "line 2: \"a.bin\" holds 2400 bytes, and the run needs 4704 from byte 0 "
       "on"},
      {"TRACK AUDIO\nFILE \"a.bin\" #2401 0\n",
       "line 2: \"a.bin\" holds 2400 bytes, and the run starts at or past "
       "their end, at byte 2401"},
      {"TRACK AUDIO\nFILE \"a.bin\" 0\n",
       "line 2: \"a.bin\" holds 2400 bytes: the 2400 from byte 0 on are not a "
       "whole number of 2352-byte blocks"},
      {"TRACK AUDIO\nFILE \"a.bin\" #47 0\n",
       "line 2: \"a.bin\" holds 2400 bytes: the 2353 from byte 47 on are not "
       "a whole number of 2352-byte blocks"},
      {"TRACK AUDIO\nSILENCE 00:00:01\nFILE \"a.bin\" 0 00:00:01\n"
       "START 00:00:02\n",
       "line 1: TRACK 01 ends at or before its index 1, after 2 sectors of "
       "pregap"},
  };
  for (const auto& [text, message] : refused) {
    const CdrdaoToc toc = parse_cdrdao_toc(text, "disc.toc");
    const std::vector<TocFileExtent> extents = {{0, 2400}};
    EXPECT_EQ(report_of([&] { cdrdao_layout(toc, extents, "disc.toc"); }),
              "disc.toc " + message)
        << text;
  }
  std::vector<std::uint8_t> samples = {0x12, 0x34, 0x56, 0x78, 0x9A};
  swap_sample_bytes(samples);
  EXPECT_EQ(samples, (std::vector<std::uint8_t>{0x34, 0x12, 0x78, 0x56, 0x9A}));
}

}  // namespace
}  // namespace glyphreel
