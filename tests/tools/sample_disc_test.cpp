#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "sample_disc/disc.hpp"
#include "sample_disc/font.hpp"
#include "sample_disc/pack_writer.hpp"
#include "sample_disc/scenes.hpp"

namespace glyphreel::sample_disc {
namespace {

struct Track {
  std::uint32_t start;
  std::uint32_t end;  // first sector after the track
};

struct PackView {
  const std::uint8_t* bytes;
  std::uint8_t mode() const { return bytes[0]; }
  std::uint8_t instruction() const { return bytes[1]; }
  std::uint8_t data(std::size_t i) const { return bytes[4 + i]; }
  bool is(std::uint8_t m, std::uint8_t op) const {
    return mode() == m && instruction() == op;
  }
};

PackView pack_at(const SampleDisc& disc, std::size_t index) {
  return PackView{disc.cdg.data() + 24 * index};
}

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// Checks the table of contents against both dumps and returns the tracks.
std::vector<Track> check_layout(const SampleDisc& disc) {
  EXPECT_EQ(disc.cdg.size() % 96, 0u);
  const std::size_t sectors = disc.cdg.size() / 96;
  EXPECT_EQ(disc.img.size(), sectors * 2352);

  const auto& toc = disc.toc;
  if (toc.size() < 12) {
    ADD_FAILURE() << "table of contents of " << toc.size() << " bytes";
    return {};
  }
  const std::size_t tracks = toc[3];
  EXPECT_EQ(toc[2], 1);
  EXPECT_EQ(toc.size(), 8 * (tracks + 1) + 4);
  EXPECT_EQ((std::size_t{toc[0]} << 8) | toc[1], toc.size() - 2);
  if (toc.size() != 8 * (tracks + 1) + 4) return {};

  std::vector<std::uint32_t> lba;
  for (std::size_t k = 0; k <= tracks; ++k) {
    const std::size_t d = 4 + 8 * k;
    EXPECT_EQ(toc[d], 0);
    EXPECT_EQ(toc[d + 1], 0x10) << "descriptor " << k;
    EXPECT_EQ(toc[d + 2], k < tracks ? k + 1 : 0xAA) << "descriptor " << k;
    EXPECT_EQ(toc[d + 3], 0);
    lba.push_back(be32(toc, d + 4));
  }
  EXPECT_EQ(lba.front(), 0u);
  EXPECT_EQ(lba.back(), sectors);
  std::vector<Track> result;
  for (std::size_t k = 0; k < tracks; ++k) {
    EXPECT_LT(lba[k], lba[k + 1]) << "track " << k + 1 << " is empty";
    result.push_back({lba[k], lba[k + 1]});
  }
  return result;
}

bool is_tile_block(PackView p) {
  return p.is(mode_graphics, op_tile_block) ||
         p.is(mode_graphics, op_tile_block_xor) ||
         p.is(mode_extended, op_extended_tile_block) ||
         p.is(mode_extended, op_extended_tile_block_xor);
}

std::size_t first_pack(const Track& t) { return std::size_t{t.start} * 4; }
std::size_t end_pack(const Track& t) { return std::size_t{t.end} * 4; }

class Discs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sample = new SampleDisc(make_sample_disc());
    long_disc = new SampleDisc(make_long_disc(400));
  }
  static void TearDownTestSuite() {
    delete sample;
    delete long_disc;
  }
  static SampleDisc* sample;
  static SampleDisc* long_disc;
};
SampleDisc* Discs::sample = nullptr;
SampleDisc* Discs::long_disc = nullptr;

TEST_F(Discs, TableOfContentsMatchesBothDumps) {
  const std::vector<Track> tracks = check_layout(*sample);
  ASSERT_EQ(tracks.size(), 3u);
  const double seconds = tracks.back().end / 75.0;
  EXPECT_GE(seconds, 20.0);
  EXPECT_LE(seconds, 30.0);

  // 400 s is 30000 sectors, split into ceil(400 / 180) = 3 tracks.
  const std::vector<Track> long_tracks = check_layout(*long_disc);
  EXPECT_EQ(long_tracks.size(), 3u);
  EXPECT_EQ(long_disc->cdg.size() / 96, 30000u);
  for (const Track& t : long_tracks) EXPECT_LE(t.end - t.start, 180u * 75);
}

TEST_F(Discs, IdlePacksAreBlankAndAboutAQuarterAreActive) {
  for (const SampleDisc* disc : {sample, long_disc}) {
    const std::size_t packs = disc->cdg.size() / 24;
    std::size_t active = 0;
    for (std::size_t i = 0; i < packs; ++i) {
      const PackView p = pack_at(*disc, i);
      if (p.mode() == mode_idle) {
        ASSERT_TRUE(std::all_of(p.bytes, p.bytes + 24,
                                [](std::uint8_t b) { return b == 0; }))
            << "pack " << i;
      } else {
        ASSERT_TRUE(p.mode() == mode_graphics || p.mode() == mode_extended)
            << "pack " << i << " mode " << int{p.mode()};
        ++active;
      }
    }
    const double fraction = static_cast<double>(active) / packs;
    EXPECT_GT(fraction, 0.15);
    EXPECT_LT(fraction, 0.35);
  }
}

TEST_F(Discs, TileBlocksDrawOnChannelZeroInsideTheWindow) {
  for (const SampleDisc* disc : {sample, long_disc}) {
    for (std::size_t i = 0; i < disc->cdg.size() / 24; ++i) {
      const PackView p = pack_at(*disc, i);
      if (!is_tile_block(p)) continue;
      // Colour bytes above 15 would select a channel no player draws.
      ASSERT_LT(p.data(0), 16) << "pack " << i;
      ASSERT_LT(p.data(1), 16) << "pack " << i;
      ASSERT_GE(p.data(2), first_visible_row) << "pack " << i;
      ASSERT_LE(p.data(2), last_visible_row) << "pack " << i;
      ASSERT_GE(p.data(3), first_visible_column) << "pack " << i;
      ASSERT_LE(p.data(3), last_visible_column) << "pack " << i;
      for (std::size_t y = 4; y < 16; ++y) ASSERT_LT(p.data(y), 0x40);
    }
  }
}

TEST_F(Discs, EveryTrackLoadsColoursAndClearsBeforeDrawing) {
  for (const SampleDisc* disc : {sample, long_disc}) {
    for (const Track& track : check_layout(*disc)) {
      SCOPED_TRACE(testing::Message() << "track at sector " << track.start);
      bool preset = false, low = false, high = false, first = true;
      for (std::size_t i = first_pack(track); i < end_pack(track); ++i) {
        const PackView p = pack_at(*disc, i);
        if (p.mode() == mode_idle) continue;
        if (first) {
          EXPECT_TRUE(p.is(mode_graphics, op_load_colours_low) ||
                      p.is(mode_graphics, op_load_colours_high) ||
                      p.is(mode_graphics, op_memory_preset));
          first = false;
        }
        preset = preset || p.is(mode_graphics, op_memory_preset);
        low = low || p.is(mode_graphics, op_load_colours_low);
        high = high || p.is(mode_graphics, op_load_colours_high);
        if (is_tile_block(p)) {
          EXPECT_TRUE(preset && low && high) << "tile block at pack " << i;
          break;
        }
      }
    }
  }
}

TEST_F(Discs, OnlyTheThirdTrackUsesExtendedGraphics) {
  const std::vector<Track> tracks = check_layout(*sample);
  ASSERT_EQ(tracks.size(), 3u);
  auto extended_packs = [](const SampleDisc& disc, std::size_t from,
                           std::size_t to) {
    std::size_t n = 0;
    for (std::size_t i = from; i < to; ++i) {
      n += pack_at(disc, i).mode() == mode_extended;
    }
    return n;
  };
  EXPECT_EQ(extended_packs(*sample, 0, end_pack(tracks[1])), 0u);
  EXPECT_GT(extended_packs(*sample, first_pack(tracks[2]), end_pack(tracks[2])),
            0u);
  EXPECT_EQ(extended_packs(*long_disc, 0, long_disc->cdg.size() / 24), 0u);
}

// Follows the write and display modes through the extended track, from the
// state every player starts in, and checks that each instruction arrives in
// a mode that carries it out rather than dropping it.
TEST_F(Discs, ExtendedTrackShowsEveryDisplayModeAndFeedsEachOne) {
  const Track track = check_layout(*sample).at(2);
  unsigned write = 1, display = 1;
  std::set<unsigned> controls, displays;
  std::set<std::uint8_t> loaded;  // table-load instructions since a refresh
  int refreshes = 0;
  for (std::size_t i = first_pack(track); i < end_pack(track); ++i) {
    const PackView p = pack_at(*sample, i);
    const std::uint8_t op = p.instruction();
    if (p.mode() == mode_extended && op == op_memory_control) {
      const unsigned w = p.data(0) & 3, d = (p.data(0) >> 2) & 3;
      ASSERT_FALSE(d == 0 && (w == 1 || w == 2)) << "ignored control " << i;
      write = w;
      display = d;
      controls.insert(p.data(0) & 0x0F);
      displays.insert(d);
      if (p.data(0) == 0x03) {
        // 32 entry packs and 16 low-bit packs cover all 256 colours.
        EXPECT_EQ(loaded.size(), 48u) << "refresh at pack " << i;
        loaded.clear();
        ++refreshes;
      }
    } else if (p.mode() == mode_extended) {
      EXPECT_EQ(display, 0u) << "pack " << i << " op " << int{op};
      if (op >= op_load_entries_first && op < op_load_low_bits_first + 16) {
        loaded.insert(op);
      }
    } else if (p.mode() == mode_graphics && display == 0) {
      EXPECT_EQ(write, 3u) << "CD+G pack " << i << " would be dropped";
    }
  }
  EXPECT_EQ(displays, (std::set<unsigned>{0, 1, 2, 3}));
  EXPECT_TRUE(controls.count(0x05) && controls.count(0x0A));
  EXPECT_TRUE(controls.count(0x0D) || controls.count(0x0F));
  EXPECT_GE(refreshes, 2) << "the 256-colour table never changes";
}

// Over each lyric page, the XOR slices sung into a character add up to its
// glyph, and the ball is taken off the screen again.
TEST_F(Discs, SungCharactersChangeColourCompletely) {
  using Tile = std::pair<int, int>;
  const std::uint8_t sing = colour_text ^ colour_sung;
  const std::uint8_t ball = colour_background ^ colour_marker;
  std::map<Tile, TilePattern> drawn, sung, balls;
  std::size_t pages_checked = 0;
  auto check_page = [&] {
    if (sung.empty()) return;  // a title, not a lyric page
    ++pages_checked;
    std::set<int> sung_rows;
    for (const auto& [tile, pattern] : sung) sung_rows.insert(tile.first);
    for (const auto& [tile, pattern] : drawn) {
      if (!sung_rows.count(tile.first)) continue;
      EXPECT_EQ(sung[tile], pattern)
          << "row " << tile.first << " col " << tile.second;
    }
    for (const auto& [tile, pattern] : balls) {
      EXPECT_EQ(pattern, TilePattern{}) << "ball left at col " << tile.second;
    }
  };
  auto xor_into = [](TilePattern& acc, PackView p) {
    for (std::size_t y = 0; y < 12; ++y) acc[y] ^= p.data(4 + y);
  };
  for (std::size_t i = 0; i <= long_disc->cdg.size() / 24; ++i) {
    const bool end = i == long_disc->cdg.size() / 24;
    const PackView p = end ? PackView{} : pack_at(*long_disc, i);
    if (end || p.is(mode_graphics, op_memory_preset)) {
      check_page();
      drawn.clear();
      sung.clear();
      balls.clear();
      if (end) break;
    }
    const Tile tile{p.data(2), p.data(3)};
    if (p.is(mode_graphics, op_tile_block) && p.data(1) == colour_text) {
      TilePattern& g = drawn[tile];
      for (std::size_t y = 0; y < 12; ++y) g[y] = p.data(4 + y);
    } else if (p.is(mode_graphics, op_tile_block_xor) && p.data(0) == 0) {
      if (p.data(1) == sing) xor_into(sung[tile], p);
      if (p.data(1) == ball) xor_into(balls[tile], p);
    }
  }
  EXPECT_GT(pages_checked, 10u);
}

TEST_F(Discs, MelodySoundsWhenSingingStarts) {
  // The second track opens with a lyric page: drawing under a quiet hum,
  // half a second of rest, then the first sung character, whose note starts
  // with the first XOR pack. Pack p lines up with sample pair 147 p.
  const Track track = check_layout(*sample).at(1);
  std::size_t first_xor = 0;
  for (std::size_t i = first_pack(track); i < end_pack(track); ++i) {
    if (pack_at(*sample, i).is(mode_graphics, op_tile_block_xor)) {
      first_xor = i;
      break;
    }
  }
  ASSERT_GT(first_xor, 0u);
  auto peak = [&](std::size_t from_pair, std::size_t pairs) {
    int largest = 0;
    for (std::size_t s = 2 * from_pair; s < 2 * (from_pair + pairs); ++s) {
      const auto v = static_cast<std::int16_t>(sample->img[2 * s] |
                                               (sample->img[2 * s + 1] << 8));
      largest = std::max(largest, std::abs(int{v}));
    }
    return largest;
  };
  const std::size_t onset = first_xor * 147;
  EXPECT_LT(peak(onset - 4410, 4410), 1000);  // the 0.1 s before: near silence
  EXPECT_GT(peak(onset, 882), 5000);          // the 20 ms after: the note
}

TEST(SampleDiscTest, SameBytesEveryTimeAndNoDiscUnderASecond) {
  const SampleDisc a = make_sample_disc();
  const SampleDisc b = make_sample_disc();
  EXPECT_TRUE(a.img == b.img && a.cdg == b.cdg && a.toc == b.toc);
  EXPECT_THROW(make_long_disc(0.5), std::invalid_argument);
}

TEST(SampleDiscTest, SongsLastAsAskedStartWithColoursAndDifferByNumber) {
  const SampleDisc first = make_song(60, 1);
  const SampleDisc second = make_song(60, 2);
  for (const SampleDisc* song : {&first, &second}) {
    // 60 s is 4500 sectors of four packs and 2352 audio bytes each.
    EXPECT_EQ(song->cdg.size(), 4500u * 96);
    EXPECT_EQ(song->img.size(), 4500u * 2352);
    EXPECT_TRUE(song->toc.empty());
    EXPECT_TRUE(pack_at(*song, 0).is(mode_graphics, op_load_colours_low));
    std::size_t sung = 0;
    for (std::size_t i = 0; i < song->cdg.size() / 24; ++i) {
      if (pack_at(*song, i).is(mode_graphics, op_tile_block_xor)) ++sung;
    }
    EXPECT_GT(sung, 100u) << "lyrics are sung";
  }
  EXPECT_NE(first.cdg, second.cdg);
  EXPECT_EQ(make_song(60, 1).cdg, first.cdg);
  EXPECT_THROW(make_song(0.5, 1), std::invalid_argument);
}

TEST(PackWriterTest, OperandsFollowThePackLayout) {
  PackBytes packs;
  load_colours(packs, 8,
               std::array<Rgb, 8>{{{15, 0, 0}, {0, 15, 0}, {0, 0, 15}}});
  const PackView load{packs.data()};
  EXPECT_TRUE(load.is(mode_graphics, op_load_colours_high));
  EXPECT_EQ(load.data(0), 0x3C);  // red 15: --RRRRGG
  EXPECT_EQ(load.data(1), 0x00);
  EXPECT_EQ(load.data(2), 0x03);  // green 15: upper two bits in the first
  EXPECT_EQ(load.data(3), 0x30);  // byte, lower two in the second
  EXPECT_EQ(load.data(5), 0x0F);  // blue 15

  packs.clear();
  std::array<Rgb, 16> colours{};
  colours[0] = {63, 0, 2};
  load_entries(packs, 248, std::span<const Rgb, 8>(colours.data(), 8));
  load_low_bits(packs, 240, colours);
  EXPECT_TRUE(PackView{packs.data()}.is(mode_extended, 47));
  EXPECT_EQ(PackView{packs.data()}.data(0), 0x3C);  // 63 >> 2 = 15 in red
  EXPECT_TRUE(PackView{packs.data() + 24}.is(mode_extended, 63));
  EXPECT_EQ(PackView{packs.data() + 24}.data(0), 0x32);  // low bits 3, 0, 2

  packs.clear();
  memory_control(packs, WriteMode::Secondary, DisplayMode::SecondaryOnly);
  memory_control(packs, WriteMode::Both, DisplayMode::Colour256);
  scroll_preset(packs, 0x15,
                {ScrollMove::LeftOrUp, 5, ScrollMove::RightOrDown, 11});
  tile_block(packs, TileDraw::Xor, 0x1F, 0x23, 0x12, 0x47, solid_pattern);
  EXPECT_EQ(PackView{packs.data()}.data(0), 0x0A);
  EXPECT_EQ(PackView{packs.data() + 24}.data(0), 0x03);
  const PackView scroll{packs.data() + 48};
  EXPECT_TRUE(scroll.is(mode_graphics, op_scroll_preset));
  EXPECT_EQ(scroll.data(0), 0x05);
  EXPECT_EQ(scroll.data(1), 0x25);
  EXPECT_EQ(scroll.data(2), 0x1B);
  const PackView tile{packs.data() + 72};
  EXPECT_TRUE(tile.is(mode_graphics, op_tile_block_xor));
  EXPECT_EQ(tile.data(0), 0x0F);  // bits 4-5 dropped: channel 0
  EXPECT_EQ(tile.data(1), 0x03);
  EXPECT_EQ(tile.data(2), 0x12);
  EXPECT_EQ(tile.data(3), 0x07);
}

TEST(FontTest, GlyphsFitTheirTileAndDifferFromEachOther) {
  const std::string_view drawn = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,!?-':";
  std::set<TilePattern> seen;
  for (char c : drawn) {
    ASSERT_TRUE(has_glyph(c)) << c;
    const TilePattern g = glyph(c);
    EXPECT_EQ(g[0], 0) << c;  // the row above the letters stays clear
    for (std::uint8_t row : g) EXPECT_EQ(row & 0xC1, 0) << c;
    EXPECT_TRUE(seen.insert(g).second) << c << " looks like another glyph";
  }
  EXPECT_EQ(glyph('q'), glyph('Q'));
  EXPECT_EQ(glyph(' '), TilePattern{});
  EXPECT_FALSE(has_glyph('~'));
  EXPECT_EQ(glyph('~'), TilePattern{});
  EXPECT_TRUE(font_covers("SING ALONG!"));
  EXPECT_FALSE(font_covers("TAB\t"));
}

}  // namespace
}  // namespace glyphreel::sample_disc
