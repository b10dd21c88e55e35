#include "subchannel/deinterleave.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "base/fatal_error.hpp"
#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::PackBytes;
using test::SectorBytes;

SectorBytes unpacked(const SectorBytes& packed) {
  SectorBytes frames{};
  unpack_sector(packed, frames);
  return frames;
}

TEST(UnpackSector, PutsEachChannelBitInItsFrame) {
  // One bit set: {frame, its byte} and {packed byte, its value}.
  struct Case {
    std::size_t frame;
    std::uint8_t frame_byte;
    std::size_t packed_at;
    std::uint8_t packed_byte;
  };
  for (const Case& c :
       std::vector<Case>{{0, 0x80, 0, 0x80},       // P, frame 0
                         {95, 0x01, 95, 0x01},     // W, frame 95
                         {9, 0x20, 25, 0x40},      // R, frame 9
                         {47, 0x40, 17, 0x01}}) {  // Q, frame 47
    SectorBytes packed{};
    packed[c.packed_at] = c.packed_byte;
    SectorBytes frames{};
    frames[c.frame] = c.frame_byte;
    EXPECT_EQ(unpacked(packed), frames) << "frame " << c.frame;
  }
  std::mt19937 rng(96);
  SectorBytes frames;
  for (std::uint8_t& byte : frames) byte = static_cast<std::uint8_t>(rng());
  EXPECT_EQ(unpacked(test::pack_sector(frames)), frames);
}

Bytes random_bytes(std::size_t size, std::mt19937& rng) {
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(rng());
  return bytes;
}

TEST(CookSubchannel, LogicalPackFromSlotNLandsAtSlotNPlusEight) {
  constexpr std::uint64_t sector_count = 4;
  std::mt19937 rng(8);
  for (std::int64_t first_lba : {0, -1, -2, -5}) {
    // Records from first_lba on, noise in every byte (P and Q channel bits
    // too) under random logical packs, one starting at every raw slot.
    const auto before = static_cast<std::size_t>(-first_lba);
    const std::size_t slots = 4 * (before + sector_count);
    Bytes interleaved = random_bytes(slots * 24, rng);
    std::vector<PackBytes> logical(slots);
    for (PackBytes& pack : logical) {
      for (std::uint8_t& symbol : pack) symbol = rng() & 0x3F;
    }
    test::interleave(interleaved, logical);
    // Image slot m holds the pack that started at image slot m - 8, the
    // records' slot m - 8 + 4 * before; idle when that is before the first.
    Bytes expected(sector_count * 96);
    for (std::size_t m = 0; m < sector_count * 4; ++m) {
      if (m + 4 * before < 8) continue;
      const PackBytes& pack = logical[m + 4 * before - 8];
      std::copy(pack.begin(), pack.end(), expected.begin() + 24 * m);
    }
    EXPECT_EQ(cook_subchannel(interleaved, SubchannelForm::Interleaved,
                              first_lba, sector_count),
              expected)
        << first_lba;
    EXPECT_EQ(cook_subchannel(test::pack_records(interleaved),
                              SubchannelForm::Packed, first_lba, sector_count),
              expected)
        << first_lba;
  }
}

TEST(CookSubchannel, CookedRecordsAreCopiedFromImageSectorZero) {
  std::mt19937 rng(1);
  const Bytes records = random_bytes(5 * 96, rng);
  EXPECT_EQ(cook_subchannel(records, SubchannelForm::Cooked, -2, 3),
            Bytes(records.begin() + 2 * 96, records.end()));
}

TEST(CookSubchannel, RecordsMustCoverTheImage) {
  EXPECT_EQ(subchannel_records_needed(0, 10), 10u);
  EXPECT_EQ(subchannel_records_needed(-150, 10), 160u);
  const Bytes records(9 * 96);
  EXPECT_THROW(cook_subchannel(records, SubchannelForm::Interleaved, 0, 10),
               FatalError);
  EXPECT_THROW(cook_subchannel(records, SubchannelForm::Packed, -1, 9),
               FatalError);
  EXPECT_THROW(cook_subchannel(records, SubchannelForm::Cooked, 1, 8),
               FatalError);
  EXPECT_EQ(cook_subchannel(records, SubchannelForm::Packed, -1, 8).size(),
            8u * 96);
}

}  // namespace
}  // namespace glyphreel
