#include "disc/spans.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "base/fatal_error.hpp"
#include "fatal_report.hpp"

namespace glyphreel {
namespace {

const std::vector<TrackLbaRange> three_tracks = {{0, 10}, {10, 25}, {25, 40}};

TEST(TrackIndices, StartThenEndMustNameATrack) {
  EXPECT_EQ(report_of([] { check_track_indices(three_tracks, 3, 3); }),
            "no fatal stop");
  EXPECT_EQ(report_of([] { check_track_indices(three_tracks, 4, 9); }),
            "start_track 4 is not a track of this disc: index 3 is out of "
            "range for 3 tracks");
  EXPECT_EQ(report_of([] { check_track_indices(three_tracks, 1, 4); }),
            "end_track 4 is not a track of this disc: index 3 is out of "
            "range for 3 tracks");
  EXPECT_EQ(report_of([] {
              check_track_indices(three_tracks, 18446744073709551615u, 1);
            }),
            "start_track 18446744073709551615 is not a track of this disc: "
            "index 18446744073709551614 is out of range for 3 tracks");
}

TEST(Spans, CoverTheChosenTracksInPlace) {
  const std::vector<std::uint8_t> img(40 * 2352);
  const std::vector<std::uint8_t> cdg(40 * 96);
  const auto audio = audio_span(img, three_tracks, 2, 3);
  EXPECT_EQ(audio.data(), img.data() + 10 * 2352);
  EXPECT_EQ(audio.size(), 30u * 2352);
  const auto subcode = subcode_span(cdg, three_tracks, 1, 1);
  EXPECT_EQ(subcode.data(), cdg.data());
  EXPECT_EQ(subcode.size(), 10u * 96);
  // One track back: the earlier track's end is the later one's start.
  EXPECT_TRUE(audio_span(img, three_tracks, 3, 2).empty());
  EXPECT_TRUE(subcode_span(cdg, three_tracks, 3, 2).empty());
}

TEST(Spans, MustLieInsideTheirFileAndRunForwards) {
  const std::vector<std::uint8_t> img(20 * 2352);
  EXPECT_EQ(report_of([&] { audio_span(img, three_tracks, 3, 3); }),
            "byte range 58800..94080 of the chosen tracks starts beyond the "
            "disc image of 47040 bytes");
  EXPECT_EQ(report_of([&] { audio_span(img, three_tracks, 2, 2); }),
            "byte range 23520..58800 of the chosen tracks ends beyond the "
            "disc image of 47040 bytes");
  const std::vector<std::uint8_t> cdg(40 * 96);
  EXPECT_EQ(report_of([&] { subcode_span(cdg, three_tracks, 3, 1); }),
            "byte range 2400..960 of the chosen tracks starts after its end "
            "in the subcode dump");
}

}  // namespace
}  // namespace glyphreel
