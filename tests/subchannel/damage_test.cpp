#include "subchannel/damage.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "subchannel/parity.hpp"
#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::PackBytes;

enum class Kind {
  Graphics,
  Extended,
  WithoutParity,
  OneDamaged,
  TwoDamaged,
  Uncorrectable,
  ModeDamaged,  // the mode symbol of a graphics pack, corrected back
  HighBits      // three bytes with P or Q bits set, intact otherwise
};

struct Placed {
  std::size_t sector;
  std::size_t slot;
  Kind kind;
};

// A dump of 12 sectors: tracks 1 (sectors 1 .. 3) and 2 (4 .. 10), sectors
// 0 and 11 in no track. Damage on both sides of the track boundary, and in
// six sectors of track 2, one more than the report keeps; in sectors 0 and
// 11, a damaged mode and high bits, which only the totals count.
const std::vector<TrackLbaRange> tracks = {{1, 4}, {4, 11}};
const std::vector<Placed> layout = {
    {0, 0, Kind::Uncorrectable}, {1, 0, Kind::Graphics},
    {1, 1, Kind::WithoutParity}, {2, 2, Kind::Extended},
    {3, 3, Kind::OneDamaged},    {4, 0, Kind::TwoDamaged},
    {4, 2, Kind::Uncorrectable}, {5, 1, Kind::OneDamaged},
    {6, 0, Kind::Uncorrectable}, {7, 3, Kind::OneDamaged},
    {8, 0, Kind::TwoDamaged},    {9, 0, Kind::OneDamaged},
    {10, 1, Kind::Graphics},     {11, 3, Kind::WithoutParity},
    {0, 1, Kind::ModeDamaged},   {11, 0, Kind::HighBits}};

struct Dump {
  Bytes intact;  // what was written, uncorrectable packs blanked
  Bytes read;    // what was read
};

Dump damaged_dump() {
  std::mt19937 rng(12);
  Dump dump{Bytes(12 * 96), Bytes(12 * 96)};
  for (const Placed& p : layout) {
    PackBytes pack{};
    pack[0] = p.kind == Kind::Extended ? 10 : 9;
    for (std::size_t i = 1; i < 20; ++i) {
      pack[i] = static_cast<std::uint8_t>(rng() & 0x3F);
    }
    if (p.kind == Kind::WithoutParity) {
      pack[2] = pack[3] = 0;
    } else {
      test::add_parity(pack);
    }
    PackBytes read = pack;
    // Damage away from the mode symbol, so that every pack stays graphics.
    const auto damage = [&](std::initializer_list<std::size_t> positions) {
      read = pack;
      for (std::size_t at : positions) {
        read[at] ^= static_cast<std::uint8_t>(1 + rng() % 63);
      }
    };
    if (p.kind == Kind::OneDamaged) damage({7});
    if (p.kind == Kind::TwoDamaged) damage({3, 22});
    if (p.kind == Kind::ModeDamaged) damage({0});
    if (p.kind == Kind::HighBits) {
      read[0] |= 0x40;
      read[5] |= 0x80;
      read[20] |= 0xC0;
    }
    if (p.kind == Kind::Uncorrectable) {
      PackBytes checked;
      do {
        damage({5, 10, 15});
        checked = read;
      } while (check_pack(checked).status != PackStatus::Uncorrectable);
      pack = {};
    }
    const std::size_t at = p.sector * 96 + p.slot * 24;
    std::copy(pack.begin(), pack.end(),
              dump.intact.begin() + static_cast<std::ptrdiff_t>(at));
    std::copy(read.begin(), read.end(),
              dump.read.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return dump;
}

TEST(CorrectPacks, TalliesByTrackAndTotals) {
  // packs, graphics, valid, corrected, symbols, without parity, uncorrectable
  const ParityTally track1{12, 4, 10, 1, 1, 1, 0};
  const ParityTally track2{28, 8, 21, 5, 7, 0, 2};
  // The graphics count the damaged mode's pack after correction.
  const ParityTally totals{48, 16, 36, 7, 9, 2, 3};
  // Track 2 is damaged in six sectors: five are listed, all six counted.
  const DamageReport expected{
      {{1, track1, {2}, 1}, {2, track2, {0, 1, 2, 3, 4}, 6}}, totals, 3};

  const Dump dump = damaged_dump();
  Bytes blanked = dump.read;
  EXPECT_EQ(correct_packs(blanked, tracks, UncorrectablePacks::Blank),
            expected);
  EXPECT_EQ(blanked, dump.intact);

  // Kept: the same report, and only the uncorrectable packs differ, as read.
  Bytes kept = dump.read;
  EXPECT_EQ(correct_packs(kept, tracks, UncorrectablePacks::Keep), expected);
  for (std::size_t pack = 0; pack < kept.size() / 24; ++pack) {
    const auto at = static_cast<std::ptrdiff_t>(pack * 24);
    const bool blank =
        std::all_of(blanked.begin() + at, blanked.begin() + at + 24,
                    [](std::uint8_t b) { return b == 0; });
    const Bytes& source = blank ? dump.read : dump.intact;
    EXPECT_TRUE(std::equal(kept.begin() + at, kept.begin() + at + 24,
                           source.begin() + at))
        << "pack " << pack;
  }
}

}  // namespace
}  // namespace glyphreel
