#include "subchannel/alignment.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lbas = std::vector<std::int64_t>;

// Records each with a position `offset` sectors from where they were
// assumed (sectors 0, 1, 2 ...); a bad CRC where the offset is INT64_MIN.
std::vector<RecordQ> positions(const std::vector<std::int64_t>& offsets,
                               const Lbas& assumed) {
  std::vector<RecordQ> q;
  for (std::size_t r = 0; r < offsets.size(); ++r) {
    if (offsets[r] == INT64_MIN) {
      q.push_back({QStatus::BadCrc});
    } else {
      q.push_back({QStatus::Good, assumed[r] + offsets[r]});
    }
  }
  return q;
}

Lbas counting(std::size_t n) {
  Lbas lbas(n);
  for (std::size_t r = 0; r < n; ++r) lbas[r] = static_cast<std::int64_t>(r);
  return lbas;
}

TEST(Alignment, AssumedSectorsSkipGapsInNoFile) {
  // Two files with a five-sector gap between them; the records begin three
  // sectors before the first file and run past the last.
  const std::vector<FileSectors> runs = {{0, 4}, {0, 0}, {9, 3}};
  const Lbas assumed = assumed_lbas(runs, -3, 10);
  EXPECT_EQ(assumed, (Lbas{-3, -2, -1, 0, 1, 2, 3, 9, 10, 11}));
  EXPECT_EQ(assumed_lbas(runs, 2, 7), (Lbas{2, 3, 9, 10, 11, 12, 13}));
  // Q that jumps over the gap with the files is no slip.
  const Alignment alignment = align_records(
      positions(std::vector<std::int64_t>(10, -1), assumed), assumed);
  EXPECT_TRUE(alignment.usable());
  EXPECT_EQ(alignment.start_offset, -1);
  EXPECT_EQ(alignment.slips, std::vector<Slip>{});
}

TEST(Alignment, FindsTheStartOffsetAndSlipsHeldByFiveFrames) {
  constexpr std::int64_t bad = INT64_MIN;
  struct Case {
    const char* what;
    std::vector<std::int64_t> offsets;
    bool usable;
    std::int64_t start;
    std::vector<Slip> slips;
  };
  const std::vector<Case> cases = {
      {"steady at -3", {-3, -3, -3, -3, -3, -3}, true, -3, {}},
      {"isolated bad frames and a stray one",
       {2, 2, 2, 2, 2, bad, 2, 7, 2, bad, 2, 2},
       true,
       2,
       {}},
      {"four frames off are no slip",
       {0, 0, 0, 0, 0, 4, 4, 4, 4, 0},
       true,
       0,
       {}},
      {"five are, bad frames between them",
       {0, 0, 0, 0, 0, 0, 0, -3, bad, -3, -3, -3, -3},
       true,
       0,
       {{7, 4, -3}}},
      {"a slip and a slip back",
       {1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 1, 1, 1, 1, 1, 1},
       true,
       1,
       {{6, 9, 2}, {11, 12, -2}}},
      {"the file's first frames disagree with most",
       {5, 5, 5, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       true,
       5,
       {{5, 5, -5}}},
      {"noise before the first row", {9, 1, 1, 1, 1, 1, 1}, true, 1, {}},
      {"frames before a stray count with the row after it",
       {0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8},
       true,
       0,
       {}},
      {"most frames fit no row",
       {0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       false,
       0,
       {}},
      {"no row at all", {0, 1, 2, 3, 4, 5, 6}, false, 0, {}},
      {"too few frames", {0, 0, 0, 0, bad, bad}, false, 0, {}},
      {"no Q", {bad, bad, bad}, false, 0, {}},
  };
  for (const Case& c : cases) {
    const Lbas assumed = counting(c.offsets.size());
    const Alignment alignment =
        align_records(positions(c.offsets, assumed), assumed);
    EXPECT_EQ(alignment.usable(), c.usable) << c.what;
    EXPECT_EQ(alignment.start_offset, c.start) << c.what;
    EXPECT_EQ(alignment.slips, c.slips) << c.what;
  }
}

TEST(Alignment, PlacesRecordsWhereTheirOffsetSays) {
  // Records assumed at sectors 0 .. 11 with offset 1, a drop of two from
  // record 5 and a repeat of three from record 9, on a disc of 10 sectors.
  const Alignment alignment{.start_offset = 1,
                            .slips = {{5, 8, 2}, {9, 9, -3}}};
  using R = std::optional<std::uint64_t>;
  const std::vector<R> sectors = {
      R{},  R{},  R{},                         // -2 .. 0: no record lands there
      R{0}, R{1}, R{2}, R{3}, R{4}, R{}, R{},  // 6 and 7: lost
      R{5}, R{6}};  // 8 and 9; records 7 and 8 past the end, 9 a repeat
  EXPECT_EQ(place_records(alignment, counting(12), 10).records, sectors);
}

// Interleaved records of disc sectors first_lba .. lead_out - 1: Q with
// lead-in frames before sector -150 and positions from there on, and, when
// `graphics`, a graphics pack with parity starting at every pack slot.
Bytes disc_records(std::int64_t first_lba, std::int64_t lead_out,
                   bool graphics) {
  const auto count = static_cast<std::size_t>(lead_out - first_lba);
  Bytes records(count * 96);
  if (graphics) {
    std::mt19937 rng(static_cast<unsigned>(count));
    std::vector<test::PackBytes> logical(4 * count);
    for (test::PackBytes& pack : logical) {
      for (std::uint8_t& symbol : pack) symbol = rng() & 0x3F;
      pack[0] = 0x09;
      test::add_parity(pack);
    }
    test::interleave(records, logical);
  }
  for (std::size_t r = 0; r < count; ++r) {
    const std::int64_t lba = first_lba + static_cast<std::int64_t>(r);
    test::put_q(std::span(records).subspan(r * 96, 96),
                lba < -150 ? test::lead_in_q(1) : test::position_q(1, lba));
  }
  return records;
}

TEST(Alignment, FindsAFileThatStartsInTheLeadIn) {
  // Record k is sector k - 45150, its first records in the lead-in.
  constexpr std::int64_t lead_out = 40;
  const Bytes records = disc_records(-45150, lead_out, false);
  const std::uint64_t count = records.size() / 96;
  const Lbas assumed =
      assumed_lbas(std::vector<FileSectors>{{0, 40}}, 0, count);
  const Alignment alignment = align_records(
      read_records_q(records, SubchannelForm::Interleaved), assumed);
  EXPECT_TRUE(alignment.usable());
  EXPECT_EQ(alignment, (Alignment{.position_frames = 190,
                                  .start_offset = -45150,
                                  .agreeing_frames = 190}));
  const Placement placement = place_records(alignment, assumed, lead_out);
  ASSERT_EQ(placement.records.size(), 42u);
  for (std::size_t at = 0; at < 42; ++at) {
    EXPECT_EQ(placement.records[at], at - 2 + 45150) << at;
  }
}

// The cooked packs of disc sector `sector`.
Bytes sector_of(const Bytes& cooked, std::size_t sector) {
  return Bytes(cooked.begin() + static_cast<std::ptrdiff_t>(sector * 96),
               cooked.begin() + static_cast<std::ptrdiff_t>(sector * 96 + 96));
}

TEST(Alignment, PutsRecordsBackAfterAFileSlips) {
  constexpr std::int64_t lead_out = 300;
  constexpr std::int64_t at = 150;
  const Bytes disc = disc_records(0, lead_out, true);
  const Bytes unslipped =
      cook_subchannel(disc, SubchannelForm::Interleaved, 0, lead_out);
  struct Case {
    std::int64_t by;  // records repeated (< 0) or dropped (> 0)
    std::int64_t lost_first, lost_end;  // sectors whose packs are lost
  };
  for (const Case& c : {Case{-3, 0, 0}, Case{2, at, at + 2 + 2}}) {
    // The records up to the slip, then from `at + by` on.
    Bytes file(disc.begin(), disc.begin() + at * 96);
    file.insert(file.end(), disc.begin() + (at + c.by) * 96, disc.end());
    const Lbas assumed = counting(file.size() / 96);
    const Alignment alignment = align_records(
        read_records_q(file, SubchannelForm::Interleaved), assumed);
    EXPECT_TRUE(alignment.usable()) << c.by;
    EXPECT_EQ(alignment.start_offset, 0) << c.by;
    EXPECT_EQ(alignment.slips, (std::vector<Slip>{{at, at + c.by, c.by}}))
        << c.by;

    const Bytes cooked = cook_subchannel(
        placed_records(file, place_records(alignment, assumed, lead_out)),
        SubchannelForm::Interleaved, placement_first_lba, lead_out);
    for (std::int64_t sector = 0; sector < lead_out; ++sector) {
      if (sector >= c.lost_first && sector < c.lost_end) continue;
      EXPECT_EQ(sector_of(cooked, sector), sector_of(unslipped, sector))
          << c.by << " at sector " << sector;
    }
    // Cooked as the file lies, the packs after the slip are out of step.
    const std::int64_t plain = std::min<std::int64_t>(
        lead_out, static_cast<std::int64_t>(file.size() / 96));
    EXPECT_NE(sector_of(cook_subchannel(file, SubchannelForm::Interleaved, 0,
                                        static_cast<std::uint64_t>(plain)),
                        plain - 1),
              sector_of(unslipped, plain - 1));
  }
}

}  // namespace
}  // namespace glyphreel
