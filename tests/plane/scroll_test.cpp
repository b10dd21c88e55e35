#include "plane/scroll.hpp"

#include <gtest/gtest.h>

#include "plane/pack_builders.hpp"

namespace glyphreel::test {
namespace {

constexpr std::uint8_t move_right = 0x10, move_left = 0x20;  // data[1]
constexpr std::uint8_t move_down = 0x10, move_up = 0x20;     // data[2]

GraphicsPlane marked_plane() {
  GraphicsPlane plane;
  mark_tiles(plane);
  plane.border_colour = 7;
  plane.colour_table[3] = Rgb{1, 2, 3};
  return plane;
}

TEST(ScrollCopy, FullTurnsRestoreThePicture) {
  const GraphicsPlane start = marked_plane();
  struct Turn {
    std::uint8_t h, v;
    int steps;
  };
  for (const auto& [h, v, steps] :
       {Turn{move_left, 0, 50}, Turn{move_right, 0, 50}, Turn{0, move_up, 18},
        Turn{0, move_down, 18}}) {
    GraphicsPlane plane = start;
    for (int i = 0; i < steps; ++i) {
      apply_pack(plane, scroll_copy_pack(h, v));
      if (i == 0) {
        EXPECT_NE(plane, start);
      }
    }
    EXPECT_EQ(plane, start);
  }
}

TEST(ScrollCopy, RotatesOffsetsWithoutTouchingPixels) {
  const GraphicsPlane before = marked_plane();
  GraphicsPlane plane = before;
  apply_pack(plane, scroll_copy_pack(move_left, move_down));
  EXPECT_EQ(plane.h_tile_offset, 1U);
  EXPECT_EQ(plane.v_tile_offset, 17U);
  EXPECT_EQ(plane.tiles, before.tiles);
  EXPECT_EQ(plane.border_colour, before.border_colour);
  EXPECT_EQ(plane.colour_table, before.colour_table);
  EXPECT_EQ(plane.channel_enabled, before.channel_enabled);
  // Left one tile, down one tile: old logical column 0 wraps to column 49,
  // old row 17 wraps to row 0.
  for (std::size_t r = 0; r < tile_rows; ++r)
    for (std::size_t c = 0; c < tile_columns; ++c)
      ASSERT_EQ(plane.logical_tile(r, c),
                before.logical_tile((r + 17) % 18, (c + 1) % 50));
}

TEST(ScrollPreset, FillsTheExposedColumnAndRowOnly) {
  const GraphicsPlane before = marked_plane();
  GraphicsPlane plane = before;
  apply_pack(plane, scroll_preset_pack(0x35, move_right, move_up));
  for (std::size_t r = 0; r < tile_rows; ++r) {
    for (std::size_t c = 0; c < tile_columns; ++c) {
      const Tile& tile = plane.logical_tile(r, c);
      if (c == 0 || r == 17) {
        EXPECT_TRUE(is_solid(tile, 5)) << r << "," << c;
      } else {  // moved one tile right and one up
        EXPECT_EQ(tile, before.logical_tile(r + 1, c - 1)) << r << "," << c;
      }
    }
  }
  EXPECT_EQ(plane.border_colour, before.border_colour);
  EXPECT_EQ(plane.colour_table, before.colour_table);
}

TEST(ScrollPreset, ExposedTilesAreThoseThatWrapped) {
  GraphicsPlane plane = marked_plane();
  apply_pack(plane, scroll_preset_pack(9, move_left, move_down));
  // Left from offset 0 exposes old physical column 0; down exposes the row
  // of the new vertical offset, 17.
  for (std::size_t i = 0; i < plane.tiles.size(); ++i) {
    const bool exposed = i % tile_columns == 0 || i / tile_columns == 17;
    EXPECT_EQ(is_solid(plane.tiles[i], 9), exposed) << "tile " << i;
  }
}

TEST(Scroll, FineOffsetsAreMaskedClampedAndAlwaysSet) {
  struct Case {
    std::uint8_t h, v;
    std::uint64_t h_fine, v_fine, h_tile, v_tile;
  };
  for (const Case& c :
       {Case{0x07, 0x0F, 5, 11, 0, 0}, Case{0x08, 0x3C, 0, 11, 0, 0},
        Case{0x03, 0x09, 3, 9, 0, 0}, Case{0xC6, 0xCD, 5, 11, 0, 0},
        Case{0x34, 0x1C, 4, 11, 0, 17}}) {
    for (const bool preset : {false, true}) {
      const GraphicsPlane before = marked_plane();
      GraphicsPlane plane = before;
      plane.h_fine_offset = 2;
      plane.v_fine_offset = 2;
      apply_pack(plane, preset ? scroll_preset_pack(4, c.h, c.v)
                               : scroll_copy_pack(c.h, c.v));
      EXPECT_EQ(plane.h_fine_offset, c.h_fine) << int{c.h};
      EXPECT_EQ(plane.v_fine_offset, c.v_fine) << int{c.v};
      EXPECT_EQ(plane.h_tile_offset, c.h_tile);
      EXPECT_EQ(plane.v_tile_offset, c.v_tile);
      if (c.v_tile == 0) {
        EXPECT_EQ(plane.tiles, before.tiles);
      }
    }
  }
  GraphicsPlane plane = marked_plane();
  apply_pack(plane, scroll_copy_pack(0x05, 0x0B));
  apply_pack(plane, scroll_copy_pack(0x00, 0x00));
  EXPECT_EQ(plane, marked_plane());
}

TEST(Scroll, TileBlockLandsInTheRotatedColumn) {
  GraphicsPlane plane;
  apply_pack(plane, scroll_copy_pack(move_left, 0));
  apply_pack(plane, tile_block_pack(8, 8, 0, 0, {}));
  EXPECT_TRUE(is_solid(plane.tiles[1], 8));
  EXPECT_TRUE(is_solid(plane.tiles[0], 0));
}

}  // namespace
}  // namespace glyphreel::test
