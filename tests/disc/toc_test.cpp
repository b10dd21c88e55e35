#include "disc/toc.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "disc/spans.hpp"
#include "base/fatal_error.hpp"

namespace glyphreel {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Descriptor {
  std::uint8_t track_number;
  std::uint32_t start_lba;
};

// A READ TOC format-0 response: length field, first/last track, descriptors.
Bytes toc_of(const std::vector<Descriptor>& descriptors) {
  const std::size_t data_length = 2 + 8 * descriptors.size();
  Bytes toc = {static_cast<std::uint8_t>(data_length >> 8),
               static_cast<std::uint8_t>(data_length), 1,
               static_cast<std::uint8_t>(descriptors.size() - 1)};
  for (const Descriptor& d : descriptors) {
    const Bytes bytes = {0,
                         0x10,
                         d.track_number,
                         0,
                         static_cast<std::uint8_t>(d.start_lba >> 24),
                         static_cast<std::uint8_t>(d.start_lba >> 16),
                         static_cast<std::uint8_t>(d.start_lba >> 8),
                         static_cast<std::uint8_t>(d.start_lba)};
    toc.insert(toc.end(), bytes.begin(), bytes.end());
  }
  return toc;
}

// A file of `length` bytes whose length field says `data_length`.
Bytes framed(std::size_t length, std::uint16_t data_length) {
  Bytes toc(length, 0);
  toc[0] = static_cast<std::uint8_t>(data_length >> 8);
  toc[1] = static_cast<std::uint8_t>(data_length);
  return toc;
}

std::string parse_report(const Bytes& toc) {
  try {
    parse_toc(toc);
  } catch (const FatalError& error) {
    return error.report();
  }
  return "no fatal stop";
}

TEST(ParseToc, OneTrackDisc) {
  const Bytes toc = toc_of({{1, 0}, {0xAA, 1000}});
  ASSERT_EQ(toc.size(), 20u);
  EXPECT_EQ(parse_toc(toc), (std::vector<TrackLbaRange>{{0, 1000}}));
}

TEST(ParseToc, RangesAreTakenAsTheyCome) {
  // Out of order, empty and reversed ranges all pass the parse.
  const Bytes toc =
      toc_of({{1, 500}, {2, 100}, {3, 100}, {0xAA, 0xFFFFFFFF}});
  EXPECT_EQ(parse_toc(toc), (std::vector<TrackLbaRange>{
                                {500, 100}, {100, 100}, {100, 0xFFFFFFFF}}));
}

TEST(ParseToc, FramingChecksInOrder) {
  EXPECT_EQ(parse_report({}),
            "table of contents too short: byte range 0..2 of its length "
            "field lies beyond the file of 0 bytes");
  EXPECT_EQ(parse_report({0x00}),
            "table of contents too short: byte range 0..2 of its length "
            "field lies beyond the file of 1 bytes");
  // Length field against file length comes before the descriptor count.
  EXPECT_EQ(parse_report(framed(12, 0)),
            "table of contents length does not match its data length field "
            "(toc_data_length + 2 == file length)\n  left: 2\n right: 12");
  for (std::uint16_t data_length = 0; data_length <= 9; ++data_length) {
    EXPECT_EQ(parse_report(framed(data_length + 2u, data_length)),
              "assertion failed: track_count > 0")
        << data_length;
  }
  EXPECT_EQ(parse_report(framed(21, 19)),
            "table of contents is not a whole number of track descriptors "
            "(8 * track_count + 4 == file length)\n  left: 20\n right: 21");
  EXPECT_EQ(parse_report(framed(0xFFFF + 2, 0xFFFF)),
            "table of contents is not a whole number of track descriptors "
            "(8 * track_count + 4 == file length)\n  left: 65532\n right: "
            "65537");
}

TEST(ParseToc, TrackNumbersMustCountUpToTheLeadOut) {
  EXPECT_EQ(parse_report(toc_of({{1, 0}, {0xA2, 10}})),
            "last descriptor of the table of contents is not the lead-out "
            "(track number == 170)\n  left: 162\n right: 170");
  EXPECT_EQ(parse_report(toc_of({{2, 0}, {0xAA, 10}})),
            "descriptor 0 of the table of contents carries the wrong track "
            "number (track number == descriptor index + 1)\n  left: 2\n "
            "right: 1");
  EXPECT_EQ(parse_report(toc_of({{1, 0}, {3, 5}, {0xAA, 10}})),
            "descriptor 1 of the table of contents carries the wrong track "
            "number (track number == descriptor index + 1)\n  left: 3\n "
            "right: 2");
  // The lead-out is checked before the tracks.
  EXPECT_EQ(parse_report(toc_of({{7, 0}, {0, 10}})).substr(0, 36),
            "last descriptor of the table of cont");
  // A lead-out alone parses; the range check refuses it.
  EXPECT_TRUE(parse_toc(toc_of({{0xAA, 0}})).empty());
}

std::string range_report(const std::vector<TrackLbaRange>& ranges,
                         std::uint64_t img_frames, std::uint64_t cdg_frames) {
  try {
    check_ranges(ranges, img_frames, cdg_frames);
  } catch (const FatalError& error) {
    return error.report();
  }
  return "no fatal stop";
}

TEST(CheckRanges, BothDumpsMustReachTheLeadOut) {
  EXPECT_EQ(range_report({}, 10, 10),
            "assertion failed: !track_lba_ranges.is_empty()");
  EXPECT_EQ(range_report({{0, 10}}, 10, 10), "no fatal stop");
  EXPECT_EQ(range_report({{0, 11}}, 10, 20),
            "assertion failed: disc_end_lba <= img_frames");
  EXPECT_EQ(range_report({{0, 11}}, 20, 10),
            "assertion failed: disc_end_lba <= cdg_frames");
  EXPECT_EQ(range_report({{0, 11}}, 10, 10),
            "assertion failed: disc_end_lba <= img_frames");
  // Only the lead-out counts, not the chosen track's end.
  EXPECT_EQ(range_report({{0, 5}, {5, 30}}, 10, 10),
            "assertion failed: disc_end_lba <= img_frames");
}

}  // namespace
}  // namespace glyphreel
