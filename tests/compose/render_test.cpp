#include "compose/render.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "compose/colour_tables.hpp"
#include "frame_reference.hpp"

namespace glyphreel {
namespace {

using testing::fill_plane;
using testing::frame_pixel;
using testing::frame_shows;
using testing::in_window;
using testing::random_plane;
using testing::reference_index;

// A colour as one plane shows it: each 4-bit channel v as 16 v + 8.
Rgb widened(const Rgb& c) {
  const auto level = [](unsigned v) {
    return static_cast<std::uint8_t>(16 * v + 8);
  };
  return {level(c.red), level(c.green), level(c.blue)};
}

// Two colours as the mixed picture shows them: channel sums t as 16 t + 8,
// from 16 upward as 255.
Rgb mixed(const Rgb& p, const Rgb& s) {
  const auto level = [](unsigned t) {
    return static_cast<std::uint8_t>(t >= 16 ? 255 : 16 * t + 8);
  };
  return {level(p.red + s.red), level(p.green + s.green),
          level(p.blue + s.blue)};
}

bool all_bytes_are(const RgbFrame& frame, std::uint8_t value) {
  return std::ranges::all_of(frame.bytes(),
                             [&](std::uint8_t b) { return b == value; });
}

TEST(RenderPlane, InitialPlaneIsEveryByteEight) {
  EXPECT_TRUE(all_bytes_are(render_plane(GraphicsPlane{}), 8));
}

TEST(RenderPlane, WidensEachChannelToSixteenTimesPlusEight) {
  GraphicsPlane plane;
  fill_plane(plane, 1);
  plane.colour_table[1] = {15, 0, 8};
  plane.colour_table[2] = {15, 15, 15};
  plane.border_colour = 2;
  EXPECT_TRUE(
      frame_shows(render_plane(plane), [](std::size_t x, std::size_t y) {
        return in_window(x, y) ? Rgb{248, 8, 136} : Rgb{248, 248, 248};
      }));
}

TEST(RenderPlane, MatchesPerPixelReferenceOnRandomPlanes) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 12; ++trial) {
    const GraphicsPlane plane = random_plane(random);
    // Either way of painting rows, on processors that have both.
    for (const RowPaint paint : {RowPaint::Pairs, RowPaint::Shuffles}) {
      EXPECT_TRUE(frame_shows(
          render_plane(plane, paint),
          [&](std::size_t x, std::size_t y) {
            return widened(plane.colour_table[reference_index(plane, x, y)]);
          }))
          << "trial " << trial << (paint == RowPaint::Pairs ? ", pairs" : "");
    }
  }
}

TEST(MixTable, AddsChannelsAndSaturatesFromSixteen) {
  ColourTable primary{};
  ColourTable secondary{};
  primary[1] = {15, 8, 8};
  secondary[2] = {0, 7, 8};
  primary[4] = {1, 15, 0};
  secondary[5] = {0, 15, 0};
  const RgbTable256 table = mix_table(primary, secondary);
  // Entry p * 16 + s: 15 + 0, 8 + 7, 8 + 8.
  EXPECT_EQ(table[1 * 16 + 2], (Rgb{248, 248, 255}));
  // 1 + 0, 15 + 15, 0 + 0.
  EXPECT_EQ(table[4 * 16 + 5], (Rgb{24, 255, 8}));
  // The same indices the other way round are other colours.
  EXPECT_EQ(table[2 * 16 + 1], (Rgb{8, 8, 8}));
  EXPECT_EQ(table[1 * 16 + 5], (Rgb{248, 255, 136}));
}

TEST(RenderMixed, WindowAndBordersShowTheMixOfBothPlanes) {
  GraphicsPlane primary;
  GraphicsPlane secondary;
  fill_plane(primary, 1);
  fill_plane(secondary, 2);
  primary.colour_table[1] = {15, 8, 1};
  secondary.colour_table[2] = {0, 8, 0};
  primary.border_colour = 3;
  secondary.border_colour = 4;
  primary.colour_table[3] = {7, 0, 0};
  secondary.colour_table[4] = {8, 0, 2};
  EXPECT_TRUE(frame_shows(
      render_mixed(primary, secondary), [](std::size_t x, std::size_t y) {
        return in_window(x, y) ? Rgb{248, 255, 24} : Rgb{248, 8, 40};
      }));
  EXPECT_TRUE(all_bytes_are(render_mixed(GraphicsPlane{}, GraphicsPlane{}), 8));
}

TEST(RenderMixed, BlackSecondaryColoursLeaveThePrimaryPlaneAlone) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 4; ++trial) {
    const GraphicsPlane primary = random_plane(random);
    GraphicsPlane secondary = random_plane(random);
    secondary.colour_table = {};
    EXPECT_TRUE(std::ranges::equal(render_mixed(primary, secondary).bytes(),
                                   render_plane(primary).bytes()));
  }
}

TEST(RenderMixed, MatchesPerPixelReferenceOnRandomPlanes) {
  std::mt19937 random(13);
  for (int trial = 0; trial < 8; ++trial) {
    const GraphicsPlane primary = random_plane(random);
    const GraphicsPlane secondary = random_plane(random);
    const auto expected = [&](std::size_t x, std::size_t y) {
      return mixed(primary.colour_table[reference_index(primary, x, y)],
                   secondary.colour_table[reference_index(secondary, x, y)]);
    };
    EXPECT_TRUE(frame_shows(render_mixed(primary, secondary), expected))
        << "trial " << trial;
  }
}

TEST(Render256Colour, InitialTableGivesEveryByteZero) {
  std::mt19937 random(17);
  EXPECT_TRUE(all_bytes_are(
      render_256_colour(random_plane(random), random_plane(random), {}), 0));
}

TEST(Render256Colour, PrimaryGivesLowBitsAndSecondaryHighBits) {
  GraphicsPlane primary;
  GraphicsPlane secondary;
  fill_plane(primary, 3);
  fill_plane(secondary, 10);
  primary.border_colour = 4;
  secondary.border_colour = 9;
  std::array<Rgb, 256> table{};
  table[163] = {1, 2, 255};  // 3 | 10 << 4
  table[148] = {0, 7, 9};    // 4 | 9 << 4
  table[58] = {99, 99, 99};  // 10 | 3 << 4, the planes swapped
  EXPECT_TRUE(
      frame_shows(render_256_colour(primary, secondary, table),
                  [](std::size_t x, std::size_t y) {
                    return in_window(x, y) ? Rgb{1, 2, 255} : Rgb{0, 7, 9};
                  }));
}

TEST(Render256Colour, MatchesPerPixelReferenceOnRandomPlanes) {
  std::mt19937 random(19);
  for (int trial = 0; trial < 8; ++trial) {
    const GraphicsPlane primary = random_plane(random);
    const GraphicsPlane secondary = random_plane(random);
    std::array<Rgb, 256> table;
    for (Rgb& c : table) {
      c = {static_cast<std::uint8_t>(random()),
           static_cast<std::uint8_t>(random()),
           static_cast<std::uint8_t>(random())};
    }
    const auto expected = [&](std::size_t x, std::size_t y) {
      return table[reference_index(primary, x, y) |
                   reference_index(secondary, x, y) << 4];
    };
    EXPECT_TRUE(
        frame_shows(render_256_colour(primary, secondary, table), expected))
        << "trial " << trial;
  }
}

TEST(TwoPlanePictures, EachPlaneMovesByItsOwnOffsets) {
  // The primary plane unscrolled shows logical (6, 12) at frame (12, 12).
  // The secondary, scrolled 3 pixels left and rotated by whole tiles, shows
  // its logical (9, 12) there instead; unscrolled it would appear at (15, 12).
  GraphicsPlane primary;
  GraphicsPlane secondary;
  secondary.h_fine_offset = 3;
  secondary.h_tile_offset = 7;
  secondary.v_tile_offset = 2;
  testing::set_logical_pixel(primary, 6, 12, 1);
  testing::set_logical_pixel(secondary, 9, 12, 2);

  std::array<Rgb, 256> table{};
  table[1 | 2 << 4] = {1, 1, 1};
  table[1] = {2, 2, 2};
  table[2 << 4] = {3, 3, 3};
  const RgbFrame colour = render_256_colour(primary, secondary, table);
  EXPECT_EQ(frame_pixel(colour, 12, 12), (Rgb{1, 1, 1}));
  EXPECT_EQ(frame_pixel(colour, 15, 12), (Rgb{0, 0, 0}));

  primary.colour_table[1] = {4, 0, 0};
  secondary.colour_table[2] = {0, 5, 0};
  const RgbFrame mix = render_mixed(primary, secondary);
  EXPECT_EQ(frame_pixel(mix, 12, 12), (Rgb{72, 88, 8}));
  EXPECT_EQ(frame_pixel(mix, 15, 12), (Rgb{8, 8, 8}));
}

}  // namespace
}  // namespace glyphreel
