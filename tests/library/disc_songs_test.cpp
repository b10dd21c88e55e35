#include "library/disc_songs.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "disc/toc.hpp"
#include "library/plan.hpp"
#include "packs/pack_loop.hpp"
#include "plane/pack_builders.hpp"
#include "sample_disc/disc.hpp"

namespace glyphreel {
namespace {

using test::PackBytes;

std::vector<std::uint8_t> stream_of(const std::vector<PackBytes>& packs) {
  std::vector<std::uint8_t> bytes;
  for (const PackBytes& pack : packs) {
    bytes.insert(bytes.end(), pack.begin(), pack.end());
  }
  return bytes;
}

PackBytes pack_of_mode(std::uint8_t mode) {
  PackBytes pack{};
  pack[0] = mode;
  return pack;
}

TEST(DiscSongs, ATrackCarriesGraphicsWhenAPackHoldsAnInstruction) {
  const PackBytes idle{};
  const PackBytes preset = test::memory_preset_pack(0);
  const struct {
    const char* what;
    std::vector<PackBytes> packs;
    std::uint64_t graphics;
  } cases[] = {
      {"no packs", {}, 0},
      {"idle packs only", {idle, idle, idle, idle}, 0},
      {"other modes",
       {pack_of_mode(8), pack_of_mode(11), pack_of_mode(0x19)},
       0},
      {"CD+G", {idle, preset, idle, preset}, 2},
      {"CD+EG", {pack_of_mode(10), idle}, 1},
      // The dump keeps each symbol in a byte's low six bits; bits above are
      // not the mode's.
      {"high bits set", {pack_of_mode(0xC9), pack_of_mode(0x4A)}, 2},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes = stream_of(c.packs);
    bytes.resize(bytes.size() + 5, mode_graphics);  // a piece of a pack
    EXPECT_EQ(graphics_pack_count(bytes), c.graphics) << c.what;
  }
}

TEST(DiscSongs, NamesComeFromCueSheetsAndCdrdaoCdText) {
  const CueSheet sheet = parse_cue_sheet(
      "PERFORMER \"The Band\"\nTITLE \"Album\"\nFILE \"d.bin\" BINARY\n"
      "TRACK 01 AUDIO\nTITLE \"First Song\"\nINDEX 01 00:00:00\n"
      "TRACK 02 AUDIO\nPERFORMER \"Guest\"\nTITLE \"Duet\"\n"
      "INDEX 01 00:10:00\nTRACK 03 AUDIO\nINDEX 01 00:20:00\n",
      "d.cue");
  const CdrdaoToc toc = parse_cdrdao_toc(
      "CD_DA\nCD_TEXT { LANGUAGE_MAP { 0 : EN }\n"
      "  LANGUAGE 0 { TITLE \"Album\" PERFORMER \"Caf\\351 Singers\" } }\n"
      "TRACK AUDIO\nCD_TEXT { LANGUAGE 0 { TITLE \"Na\\357ve\" } }\n"
      "FILE \"d.bin\" 0 00:10:00\n"
      "TRACK AUDIO\nFILE \"d.bin\" 00:10:00 00:10:00\n",
      "d.toc");
  const struct {
    DiscNames names;
    std::vector<std::string> songs;
  } cases[] = {
      {disc_names(sheet),
       {"01 - The Band - First Song", "02 - Guest - Duet", "Track 03"}},
      // CD-TEXT in ISO 8859-1 comes out in UTF-8.
      {disc_names(toc),
       {"01 - Caf\xC3\xA9 Singers - Na\xC3\xAFve", "Track 02"}},
      {{{}, {{"Title Only", ""}}}, {"01 - Title Only"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> songs;
    for (std::uint64_t n = 1; n <= c.songs.size(); ++n) {
      songs.push_back(song_name(n, c.names));
    }
    EXPECT_EQ(songs, c.songs);
  }
}

TEST(DiscSongs, NamesKeepToWhatEverySystemTakes) {
  const std::pair<std::string, std::string> texts[] = {
      {"a<b>c:d\"e/f\\g|h?i*j", "a_b_c_d_e_f_g_h_i_j"},
      {"  tab\tand\x01 bell\x07\x7F ", "tab_and_ bell__"},
      {"\xC2\x85next line", "_next line"},   // U+0085, a control character
      {"Gr\xFC\xDF", "Gr\xC3\xBC\xC3\x9F"},  // not UTF-8: ISO 8859-1
      {"\xE2\x99\xAA Caf\xC3\xA9", "\xE2\x99\xAA Caf\xC3\xA9"},
  };
  for (const auto& [text, name] : texts) EXPECT_EQ(name_text(text), name);

  // Cut at 200 bytes, never within a character: "01 - " and 97 two-byte
  // characters make 199 bytes, and the 98th would end past 200.
  std::string long_title;
  for (int i = 0; i < 150; ++i) long_title += "\xC3\xA9";
  const std::string name = song_name(1, {{}, {{long_title, ""}}});
  EXPECT_EQ(name, "01 - " + long_title.substr(0, 194));
  EXPECT_EQ(song_name(1, {{}, {{std::string(300, 'x'), ""}}}).size(),
            longest_song_name);
}

TEST(DiscSongs, OutputsReportLinesAndTrackRanges) {
  EXPECT_EQ(song_outputs("01 - A", SongAudio::Mp3, false),
            (std::vector<std::string>{"01 - A.zip"}));
  EXPECT_EQ(song_outputs("01 - A", SongAudio::Flac, true),
            (std::vector<std::string>{"01 - A.cdg", "01 - A.flac"}));
  EXPECT_EQ(song_scratch_files("B", SongAudio::Wav, false),
            (std::vector<std::string>{"B.zip", "B.wav", "B.log"}));

  const std::vector<TrackOutcome> outcomes = {
      {1, "01 - A - B", 901, 762, TrackStatus::Written, {}},
      {2, "Track 02", 2, 0, TrackStatus::Skipped, "no graphics"},
      {12, "Track 12", 75, 4, TrackStatus::Failed, "ffmpeg failed"},
  };
  std::string lines;
  for (const TrackOutcome& outcome : outcomes) lines += track_line(outcome);
  EXPECT_EQ(lines,
            "01\t01 - A - B\t12.01 s\t762 graphics packs\twritten\n"
            "02\tTrack 02\t0.03 s\t0 graphics packs\tskipped: no graphics\n"
            "12\tTrack 12\t1.00 s\t4 graphics packs\tfailed: ffmpeg failed\n");
  EXPECT_EQ(songs_summary(outcomes), "1 written, 1 skipped, 1 failed");

  EXPECT_EQ(parse_track_range("2-13"), (TrackRange{2, 13}));
  EXPECT_EQ(parse_track_range("5-5"), (TrackRange{5, 5}));
  for (const char* wrong :
       {"", "3", "0-2", "3-2", "1-100", "-2", "1-", "a-b", "+1-2", "1 - 2"}) {
    EXPECT_FALSE(parse_track_range(wrong)) << wrong;
  }
}

// The frame from which a track's packs decoded from a blank state show
// what the whole disc shows from the track's first sector on, to the
// track's end; the track's frame count when they never agree.
std::size_t first_frame_as_on_the_disc(std::span<const std::uint8_t> cdg,
                                       const TrackLbaRange& track) {
  const std::size_t start = track.start_lba * cdg_frame_size;
  const std::span<const std::uint8_t> own =
      cdg.subspan(start, (track.end_lba - track.start_lba) * cdg_frame_size);
  const bool extended = has_extended_graphics(own);
  ExtendedGraphicsState through{};
  ExtendedGraphicsState alone{};
  const auto apply = [&](ExtendedGraphicsState& state, std::size_t at) {
    return apply_pack(state, SubcodePack(cdg.subspan(at).first<pack_size>()),
                      extended);
  };
  for (std::size_t at = 0; at < start; at += pack_size) apply(through, at);
  std::size_t frames = 0;
  std::size_t first_equal = 0;
  // Frames that no pack has reached since the last ones compare as they
  // did.
  bool changed = true;
  bool differ = false;
  for (std::size_t at = 0; at < own.size(); at += pack_size) {
    if (at / pack_size % packs_per_frame == 0) {
      if (changed) {
        differ = !std::ranges::equal(compose_frame(through, extended).bytes(),
                                     compose_frame(alone, extended).bytes());
      }
      if (differ) first_equal = frames + 1;
      changed = false;
      ++frames;
    }
    changed |= apply(through, start + at);
    changed |= apply(alone, start + at);
  }
  return first_equal;
}

TEST(DiscSongs, ATrackPlaysAsTheDiscOnceItsGraphicsClearTheScreen) {
  // The sample disc's tracks begin with a colour load and a memory
  // preset: the first two frames of a later track show what the track
  // before left, every frame after them agrees.
  const sample_disc::SampleDisc disc = sample_disc::make_sample_disc();
  const std::vector<TrackLbaRange> tracks = parse_toc(disc.toc);
  std::vector<std::size_t> first;
  for (const TrackLbaRange& track : tracks) {
    first.push_back(first_frame_as_on_the_disc(disc.cdg, track));
  }
  EXPECT_EQ(first, (std::vector<std::size_t>{0, 2, 2}));

  // A second track that only draws a tile keeps the first one's picture
  // around it on the disc: never the same.
  std::vector<PackBytes> packs(40, PackBytes{});
  packs[0] = test::load_colour_table_pack(false, {0, 0, 0x3F, 0x3F});
  packs[1] = test::memory_preset_pack(1);
  packs[20] = test::tile_block_pack(0, 1, 3, 3, {0x3F, 0x3F});
  const std::vector<std::uint8_t> cdg = stream_of(packs);
  EXPECT_EQ(first_frame_as_on_the_disc(cdg, {5, 10}), 4u);
}

}  // namespace
}  // namespace glyphreel
