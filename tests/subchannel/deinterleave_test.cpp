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

// Raw records of sectors first_lba .. sector_count - 1 with noise in every
// byte, P and Q channel bits included, under random logical packs, one
// starting at every raw slot.
struct RawDisc {
  Bytes interleaved;
  std::vector<PackBytes> logical;  // logical[n] starts at the records' slot n
};

RawDisc raw_disc(std::size_t records, std::mt19937& rng) {
  RawDisc disc{Bytes(records * 96), std::vector<PackBytes>(records * 4)};
  for (std::uint8_t& byte : disc.interleaved)
    byte = static_cast<std::uint8_t>(rng());
  for (PackBytes& pack : disc.logical) {
    for (std::uint8_t& symbol : pack)
      symbol = static_cast<std::uint8_t>(rng() & 0x3F);
  }
  test::interleave(disc.interleaved, disc.logical);
  return disc;
}

Bytes packed_form(const Bytes& interleaved) {
  Bytes packed;
  for (std::size_t at = 0; at < interleaved.size(); at += 96) {
    SectorBytes frames;
    std::copy_n(interleaved.begin() + static_cast<std::ptrdiff_t>(at), 96,
                frames.begin());
    const SectorBytes sector = test::pack_sector(frames);
    packed.insert(packed.end(), sector.begin(), sector.end());
  }
  return packed;
}

TEST(CookSubchannel, LogicalPackFromSlotNLandsAtSlotNPlusEight) {
  constexpr std::uint64_t sector_count = 4;
  std::mt19937 rng(8);
  for (std::int64_t first_lba : {0, -1, -2, -5}) {
    const auto before = static_cast<std::size_t>(-first_lba);
    const RawDisc disc = raw_disc(before + sector_count, rng);
    for (SubchannelForm form :
         {SubchannelForm::Interleaved, SubchannelForm::Packed}) {
      const Bytes records = form == SubchannelForm::Packed
                                ? packed_form(disc.interleaved)
                                : disc.interleaved;
      const Bytes cooked =
          cook_subchannel(records, form, first_lba, sector_count);
      ASSERT_EQ(cooked.size(), sector_count * 96);
      for (std::size_t slot = 0; slot < sector_count * 4; ++slot) {
        // Image slot m holds the pack that started at image slot m - 8,
        // which is records' slot m - 8 + 4 * before; none before the first.
        const std::size_t start = slot + 4 * before;
        const PackBytes expected =
            start < 8 ? PackBytes{} : disc.logical[start - 8];
        const PackBytes got = [&] {
          PackBytes pack;
          std::copy_n(cooked.begin() + static_cast<std::ptrdiff_t>(slot * 24),
                      24, pack.begin());
          return pack;
        }();
        EXPECT_EQ(got, expected)
            << "first_lba " << first_lba << " slot " << slot
            << (form == SubchannelForm::Packed ? " packed" : "");
      }
    }
  }
}

TEST(CookSubchannel, CookedRecordsAreCopiedFromImageSectorZero) {
  std::mt19937 rng(1);
  Bytes records(5 * 96);
  for (std::uint8_t& byte : records) byte = static_cast<std::uint8_t>(rng());
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
