#include "import/report.hpp"

#include <gtest/gtest.h>

namespace glyphreel {
namespace {

TEST(Report, TrackTimeCountsSeventyFiveSectorsASecond) {
  const std::pair<std::uint64_t, const char*> times[] = {
      {0, "00:00.00"},      {74, "00:00.74"},     {75, "00:01.00"},
      {750, "00:10.00"},    {4499, "00:59.74"},   {4500, "01:00.00"},
      {333000, "74:00.00"}, {450074, "100:00.74"}};
  for (const auto& [sectors, time] : times) {
    EXPECT_EQ(track_time(sectors), time) << sectors;
  }
}

// Two tracks: the first damaged in more places than the report keeps; a
// cooked file whose bytes carried P or Q bits.
DamageReport small_report() {
  DamageReport report;
  report.tracks = {
      {1, {12000, 3400, 11987, 8, 11, 0, 5}, {98, 150, 151, 4500, 4501}, 13},
      {2, {600, 0, 300, 0, 0, 300, 0}, {}}};
  report.totals = {12600, 3400, 12287, 8, 11, 300, 5};
  report.high_bits_cleared = 7;
  return report;
}

TEST(Report, TextIsOneRowPerTrackThenTotals) {
  EXPECT_EQ(report_text(small_report()),
            "track  packs  graphics  valid  corrected (symbols)  no parity  "
            "uncorrectable  damaged at\n"
            "1      12000      3400  11987               8 (11)          0  "
            "            5  00:01.23, 00:02.00, 00:02.01, 01:00.00, 01:00.01 "
            "and 8 more\n"
            "2        600         0    300                0 (0)        300  "
            "            0\n"
            "total  12600      3400  12287               8 (11)        300  "
            "            5\n"
            "high bits cleared in 7 bytes: a pack's symbols are their low "
            "six bits\n");
  EXPECT_EQ(report_text(DamageReport{{}, {4, 0, 4, 0, 0, 0, 0}}),
            "track  packs  graphics  valid  corrected (symbols)  no parity  "
            "uncorrectable  damaged at\n"
            "total      4         0      4                0 (0)          0  "
            "            0\n");
}

TEST(Report, JsonHoldsTheSameCounts) {
  const std::string counts_1 =
      "\"packs\":12000,\"graphics_packs\":3400,\"valid\":11987,"
      "\"corrected\":8,\"symbols_corrected\":11,\"without_parity\":0,"
      "\"uncorrectable\":5";
  EXPECT_EQ(report_json(small_report()),
            "{\"tracks\":[{\"number\":1," + counts_1 +
                ",\"damaged_at\":[\"00:01.23\",\"00:02.00\",\"00:02.01\","
                "\"01:00.00\",\"01:00.01\"]},"
                "{\"number\":2,\"packs\":600,\"graphics_packs\":0,"
                "\"valid\":300,\"corrected\":0,\"symbols_corrected\":0,"
                "\"without_parity\":300,\"uncorrectable\":0,"
                "\"damaged_at\":[]}],"
                "\"totals\":{\"packs\":12600,\"graphics_packs\":3400,"
                "\"valid\":12287,\"corrected\":8,\"symbols_corrected\":11,"
                "\"without_parity\":300,\"uncorrectable\":5},"
                "\"high_bits_cleared\":7}\n");
  EXPECT_EQ(report_json(DamageReport{}),
            "{\"tracks\":[],\"totals\":{\"packs\":0,\"graphics_packs\":0,"
            "\"valid\":0,\"corrected\":0,\"symbols_corrected\":0,"
            "\"without_parity\":0,\"uncorrectable\":0},"
            "\"high_bits_cleared\":0}\n");
}

}  // namespace
}  // namespace glyphreel
