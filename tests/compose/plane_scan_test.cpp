#include "compose/plane_scan.hpp"

#include <gtest/gtest.h>

#include <random>

#include "frame_reference.hpp"

namespace glyphreel {
namespace {

using testing::in_window;
using testing::reference_index;
using testing::scan_shows;
using testing::set_logical_pixel;

TEST(PlaneScan, YieldsExactly67392IndicesThenStaysFinished) {
  const GraphicsPlane plane;
  PlaneScan scan(plane);
  std::size_t rows = 0;
  std::size_t indices = 0;
  while (!scan.finished()) {
    const auto row = scan.next_row();
    ASSERT_TRUE(row.has_value()) << "after " << rows << " rows";
    ++rows;
    indices += row->size();
  }
  EXPECT_EQ(rows, 216u);
  EXPECT_EQ(indices, 67392u);
  for (int again = 0; again < 3; ++again) {
    EXPECT_FALSE(scan.next_row().has_value());
    EXPECT_TRUE(scan.finished());
  }
}

TEST(PlaneScan, MatchesPerPixelReferenceOnRandomPlanes) {
  std::mt19937 random(20240611);
  for (int trial = 0; trial < 40; ++trial) {
    GraphicsPlane plane = testing::random_plane(random);
    // The extremes of the offsets, where rows wrap or start at a tile edge.
    if (trial < 3) {
      plane.h_tile_offset = trial == 0 ? 0 : 50 - trial;
      plane.v_tile_offset = trial == 0 ? 0 : 18 - trial;
      plane.h_fine_offset = trial == 0 ? 0 : 5;
      plane.v_fine_offset = trial == 0 ? 0 : 11;
    }
    EXPECT_TRUE(scan_shows(plane,
                           [&](std::size_t x, std::size_t y) {
                             return reference_index(plane, x, y);
                           }))
        << "trial " << trial;
  }
}

TEST(PlaneScan, WindowCornersShowTheLogicalPixelsOfTheFineOffsets) {
  // Offsets 0: frame (12, 12) is logical (6, 12), the top-left pixel of
  // logical tile (1, 1); frame (299, 203) is logical (293, 203), the
  // bottom-right pixel of logical tile (16, 48).
  GraphicsPlane plane;
  set_logical_pixel(plane, 6, 12, 9);
  set_logical_pixel(plane, 293, 203, 7);
  EXPECT_TRUE(scan_shows(plane, [](std::size_t x, std::size_t y) {
    return x == 12 && y == 12 ? 9 : x == 299 && y == 203 ? 7 : 0;
  }));

  // Fine offsets 5 and 11 move the picture left and up: frame (12, 12) is
  // logical (11, 23), frame (299, 203) logical (298, 214) in tile (17, 49).
  plane = GraphicsPlane{};
  plane.h_fine_offset = 5;
  plane.v_fine_offset = 11;
  set_logical_pixel(plane, 11, 23, 4);
  set_logical_pixel(plane, 298, 214, 13);
  set_logical_pixel(plane, 6, 12, 9);  // now off the window
  EXPECT_TRUE(scan_shows(plane, [](std::size_t x, std::size_t y) {
    return x == 12 && y == 12 ? 4 : x == 299 && y == 203 ? 13 : 0;
  }));
}

TEST(PlaneScan, TileOffsetsAtTheirLastValuesStartAtPhysicalTileZero) {
  GraphicsPlane plane;
  plane.h_tile_offset = 49;
  plane.v_tile_offset = 17;
  for (std::size_t y = 0; y < 12; ++y) plane.tiles[0].bytes[y] = 0x3F;
  // Physical tile (0, 0), colour 1, fills window pixels 0 ... 5 of window
  // rows 0 ... 11.
  EXPECT_TRUE(scan_shows(plane, [](std::size_t x, std::size_t y) {
    return x >= 12 && x < 18 && y >= 12 && y < 24 ? 1 : 0;
  }));
}

TEST(PlaneScan, TileOffsetTenWrapsFromPhysicalColumn299ToColumn0) {
  // Physical pixel column X of tile row 2 holds colour X mod 16, so window
  // row 12 (physical row 24) names the columns it reads: 66 ... 299, then
  // 0 ... 53.
  GraphicsPlane plane;
  plane.h_tile_offset = 10;
  for (std::size_t column = 0; column < 300; ++column) {
    for (std::size_t y = 0; y < 12; ++y) {
      testing::set_tile_pixel(plane.tiles[2 * 50 + column / 6], column % 6, y,
                              static_cast<std::uint8_t>(column % 16));
    }
  }
  const auto indices = testing::scan_indices(plane);
  for (std::size_t i = 0; i < 288; ++i) {
    const std::size_t column = i < 234 ? 66 + i : i - 234;
    EXPECT_EQ(indices[24 * 312 + 12 + i], column % 16) << i;
  }
}

TEST(PlaneScan, BorderColourFillsAllFourStripsAndNoWindowPixel) {
  GraphicsPlane plane;
  plane.border_colour = 6;
  plane.h_fine_offset = 3;
  plane.v_tile_offset = 4;
  EXPECT_TRUE(scan_shows(plane, [](std::size_t x, std::size_t y) {
    return in_window(x, y) ? 0 : 6;
  }));
}

}  // namespace
}  // namespace glyphreel
