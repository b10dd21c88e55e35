#include "disc/toc_writer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "disc/toc.hpp"

namespace glyphreel {
namespace {

TEST(BuildToc, ReadsBackAsTheTracksRanges) {
  struct Layout {
    std::vector<TocTrack> tracks;
    std::uint64_t lead_out;
    std::vector<TrackLbaRange> ranges;
  };
  std::vector<TocTrack> ninety_nine;
  std::vector<TrackLbaRange> ninety_nine_ranges;
  for (std::uint64_t k = 0; k < 99; ++k) {
    ninety_nine.push_back({k * 10, k % 2 == 1});
    ninety_nine_ranges.push_back({k * 10, k * 10 + 10});
  }
  const std::vector<Layout> layouts = {
      {{{0, false}}, 1, {{0, 1}}},
      {{{150, false}, {1000, false}, {5000, true}},
       9000,
       {{150, 1000}, {1000, 5000}, {5000, 9000}}},
      {{{0, true}, {0xFFFFFFFE, false}},
       0xFFFFFFFF,
       {{0, 0xFFFFFFFE}, {0xFFFFFFFE, 0xFFFFFFFF}}},
      {ninety_nine, 990, ninety_nine_ranges},
  };
  for (const Layout& layout : layouts) {
    EXPECT_EQ(parse_toc(build_toc(layout.tracks, layout.lead_out)),
              layout.ranges)
        << layout.tracks.size() << " tracks";
  }
}

TEST(BuildToc, WritesTheDescriptorsAsADriveDoes) {
  const std::vector<std::uint8_t> expected = {
      0, 26,   1,    2,                     // length, first, last track
      0, 0x10, 1,    0, 0, 0, 0x00, 0x96,   // audio track 1 at 150
      0, 0x14, 2,    0, 0, 1, 0x00, 0x00,   // data track 2 at 65536
      0, 0x14, 0xAA, 0, 0, 2, 0x00, 0x01};  // lead-out at 131073
  EXPECT_EQ(
      build_toc(std::vector<TocTrack>{{150, false}, {65536, true}}, 131073),
      expected);
}

TEST(BuildToc, RefusesWhatWouldNotReadBack) {
  struct Refusal {
    std::vector<TocTrack> tracks;
    std::uint64_t lead_out;
    std::string message;
  };
  const std::vector<Refusal> refusals = {
      {{}, 10, "no tracks"},
      {std::vector<TocTrack>(100), 10, "100 tracks, at most 99"},
      {{{0}, {5}, {5}},
       10,
       "track 3 starts at sector 5, not after track 2 at sector 5"},
      {{{7}, {3}},
       10,
       "track 2 starts at sector 3, not after track 1 at sector 7"},
      {{{0}, {10}},
       10,
       "track 2 starts at sector 10, not before the lead-out at sector 10"},
      {{{0}},
       0x100000000,
       "the lead-out at sector 4294967296 is past 32-bit addresses"},
  };
  for (const Refusal& refusal : refusals) {
    try {
      build_toc(refusal.tracks, refusal.lead_out);
      ADD_FAILURE() << "no refusal: " << refusal.message;
    } catch (const FatalError& error) {
      EXPECT_EQ(error.report(),
                "cannot write a table of contents: " + refusal.message);
    }
  }
}

}  // namespace
}  // namespace glyphreel
