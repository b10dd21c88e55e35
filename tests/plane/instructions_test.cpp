#include "plane/instructions.hpp"

#include <gtest/gtest.h>

#include "plane/pack_builders.hpp"

namespace glyphreel::test {
namespace {

// Bits 6-7 set in some rows: they must never reach the tile.
constexpr Patterns patterns{0xEC, 0x01, 0x3F, 0x00, 0x15, 0x2A,
                            0x7F, 0x80, 0x33, 0x0C, 0x21, 0x1E};

bool pattern_bit(std::size_t x, std::size_t y) {
  return ((patterns[y] >> (5 - x)) & 1U) != 0;
}

TEST(Instructions, UnknownInstructionBytesLeaveThePlaneUnchanged) {
  GraphicsPlane plane;
  mark_tiles(plane);
  plane.border_colour = 4;
  const GraphicsPlane before = plane;
  // 0x41 and 0x46 would be memory preset and tile block if masked to 6 bits.
  for (int instruction : {0, 3, 28, 0x41, 0x46, 0x86, 0xFF}) {
    apply_pack(plane, graphics_pack(static_cast<std::uint8_t>(instruction),
                                    {0x1F, 0x1F, 0x21, 0x21, 0x3F, 0x3F}));
    EXPECT_EQ(plane, before) << "instruction " << instruction;
  }
}

TEST(Presets, SolidTileSetsWholeBitPlanesFromTheLowFourBits) {
  const Tile tile = solid_tile(0x3A);  // colour 10: bit-planes 1 and 3
  for (std::size_t i = 0; i < tile_size; ++i) {
    const std::size_t k = i / tile_height;
    EXPECT_EQ(tile.bytes[i], k == 1 || k == 3 ? 0x3F : 0x00) << "byte " << i;
  }
}

TEST(Presets, MemoryPresetKeepsRotationBorderAndTable) {
  GraphicsPlane plane;
  for (std::uint8_t h : {0x20, 0x20, 0x24})
    apply_pack(plane, scroll_copy_pack(h, 0x09));
  ASSERT_EQ(plane.h_tile_offset, 3U);
  ASSERT_EQ(plane.h_fine_offset, 4U);
  apply_pack(plane, border_preset_pack(0x2A));
  EXPECT_EQ(plane.border_colour, 10U);
  plane.colour_table[15] = Rgb{1, 2, 3};

  apply_pack(plane, memory_preset_pack(0x1F));
  for (const Tile& tile : plane.tiles) ASSERT_TRUE(is_solid(tile, 15));
  EXPECT_EQ(plane.h_tile_offset, 3U);
  EXPECT_EQ(plane.h_fine_offset, 0U);
  EXPECT_EQ(plane.v_fine_offset, 0U);
  EXPECT_EQ(plane.border_colour, 10U);
  EXPECT_EQ(plane.colour_table[15], (Rgb{1, 2, 3}));

  // Logical column 0 of the rotated plane is physical column 3.
  const GraphicsPlane preset = plane;
  apply_pack(plane, tile_block_pack(0, 0, 0, 0, patterns));
  for (std::size_t i = 0; i < plane.tiles.size(); ++i) {
    EXPECT_EQ(is_solid(plane.tiles[i], 0), i == 3) << "tile " << i;
    if (i != 3) {
      EXPECT_EQ(plane.tiles[i], preset.tiles[i]);
    }
  }
}

TEST(TileBlock, PatternBitsPickColourOneAndClearBitsColourZero) {
  GraphicsPlane plane;
  apply_pack(plane, memory_preset_pack(15));
  apply_pack(plane, tile_block_pack(2, 9, 4, 11, patterns));
  const Tile& tile = plane.tiles[4 * tile_columns + 11];
  // Row 0, pattern 0x2C: plane 0 (only colour 1 set) is p, plane 1 (only
  // colour 0 set) is ~p, plane 2 is clear, plane 3 (only colour 1) is p.
  EXPECT_EQ(tile.bytes[0], 0x2C);
  EXPECT_EQ(tile.bytes[12], 0x13);
  EXPECT_EQ(tile.bytes[24], 0x00);
  EXPECT_EQ(tile.bytes[36], 0x2C);
  for (std::uint8_t byte : tile.bytes) EXPECT_EQ(byte & 0xC0, 0);
  for (std::size_t y = 0; y < tile_height; ++y)
    for (std::size_t x = 0; x < tile_width; ++x)
      EXPECT_EQ(pixel_colour(tile, x, y), pattern_bit(x, y) ? 9U : 2U);

  apply_pack(plane,
             tile_block_pack(0x07, 0x17, 4, 11, patterns));  // same colours
  EXPECT_TRUE(is_solid(tile, 7));
}

TEST(TileBlock, MasksPositionAndDropsTilesOffThePlane) {
  GraphicsPlane plane;
  apply_pack(plane, tile_block_pack(5, 5, 0x25, 0x47, patterns));
  EXPECT_TRUE(is_solid(plane.logical_tile(5, 7), 5));
  apply_pack(plane, tile_block_pack(6, 6, 17, 49, patterns));
  EXPECT_TRUE(is_solid(plane.logical_tile(17, 49), 6));

  const GraphicsPlane before = plane;
  apply_pack(plane, tile_block_pack(1, 1, 0x12, 0, patterns));  // row 18
  apply_pack(plane, tile_block_pack(1, 1, 0, 0x32, patterns));  // column 50
  EXPECT_EQ(plane, before);
}

TEST(TileBlock, DrawsOnlyOnChannelsZeroAndOne) {
  GraphicsPlane plane;
  const GraphicsPlane fresh = plane;
  apply_pack(plane, tile_block_pack(0x13, 0x03, 0, 1, patterns));  // channel 4
  apply_pack(plane, tile_block_pack(0x23, 0x03, 0, 1, patterns));  // channel 8
  apply_pack(plane, tile_block_pack(0x03, 0x23, 0, 1, patterns));  // channel 2
  EXPECT_EQ(plane, fresh);
  apply_pack(plane, tile_block_pack(0x03, 0x13, 0, 1, patterns));  // channel 1
  EXPECT_TRUE(is_solid(plane.logical_tile(0, 1), 3));
  apply_pack(plane, tile_block_pack(0x0C, 0x0C, 0, 2, patterns));  // channel 0
  EXPECT_TRUE(is_solid(plane.logical_tile(0, 2), 12));
}

TEST(TileBlock, XorFlipsByPatternColourAndUndoesItself) {
  GraphicsPlane plane;
  apply_pack(plane, memory_preset_pack(6));
  const GraphicsPlane preset = plane;
  const PackBytes xor_block =
      tile_block_pack(3, 12, 2, 3, patterns, TileDraw::Xor);
  apply_pack(plane, xor_block);
  const Tile& tile = plane.logical_tile(2, 3);
  for (std::size_t y = 0; y < tile_height; ++y)
    for (std::size_t x = 0; x < tile_width; ++x)
      EXPECT_EQ(pixel_colour(tile, x, y),
                pattern_bit(x, y) ? 6U ^ 12U : 6U ^ 3U);
  apply_pack(plane, xor_block);
  EXPECT_EQ(plane, preset);
  apply_pack(plane, tile_block_pack(0x00, 0x10, 2, 3, patterns, TileDraw::Xor));
  EXPECT_EQ(plane, preset);
}

}  // namespace
}  // namespace glyphreel::test
