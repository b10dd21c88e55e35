#include "plane/instructions.hpp"

#include <algorithm>
#include <array>

#include "plane/colour_table.hpp"
#include "plane/scroll.hpp"

namespace glyphreel {
namespace {

constexpr std::uint8_t colour_mask = 0x0F;
constexpr std::uint8_t tile_row_operand_mask = 0x1F;
constexpr std::uint8_t tile_column_operand_mask = 0x3F;
constexpr std::size_t first_pattern_operand = 4;

// Row byte of bit-plane k in a tile of one solid colour: all six pixels carry
// bit k of the colour.
std::uint8_t solid_row_byte(std::uint8_t colour, std::size_t k) {
  return ((colour >> k) & 1U) != 0 ? row_mask : 0x00;
}

// Bits 4-5 of colour 0 select channel bits 2-3, bits 4-5 of colour 1 select
// channel bits 0-1; the colours themselves only use bits 0-3.
std::size_t tile_block_channel(const SubcodePack& pack) {
  return static_cast<std::size_t>(((pack.data(0) >> 2) & 0x0C) |
                                  ((pack.data(1) >> 4) & 0x03));
}

// The row byte of one bit-plane for one pattern row: set pattern bits take
// bit k of colour 1, clear ones bit k of colour 0.
std::uint8_t tile_row_byte(std::uint8_t pattern, bool colour0_bit,
                           bool colour1_bit) {
  const std::uint8_t ones = colour1_bit ? pattern : 0x00;
  const std::uint8_t zeros =
      colour0_bit ? static_cast<std::uint8_t>(~pattern & row_mask) : 0x00;
  return ones | zeros;
}

void border_preset(GraphicsPlane& plane, std::uint8_t colour) {
  plane.border_colour = colour & colour_mask;
}

}  // namespace

Tile solid_tile(std::uint8_t colour) {
  Tile tile;
  for (std::size_t k = 0; k < bit_planes; ++k) {
    std::fill_n(tile.bytes.begin() + k * tile_height, tile_height,
                solid_row_byte(colour, k));
  }
  return tile;
}

void memory_preset(GraphicsPlane& plane, std::uint8_t colour) {
  // One tile row of fill tiles, built once on the stack and block-copied
  // into each of the 18 rows. Scroll rotation persists; only the fine
  // offsets return to rest.
  std::array<Tile, tile_columns> fill_row;
  fill_row.fill(solid_tile(colour));
  for (std::size_t row = 0; row < tile_rows; ++row) {
    std::copy(fill_row.begin(), fill_row.end(),
              plane.tiles.begin() + row * tile_columns);
  }
  plane.h_fine_offset = 0;
  plane.v_fine_offset = 0;
}

void tile_block(GraphicsPlane& plane, const SubcodePack& pack, TileDraw draw) {
  if (plane.channel_enabled[tile_block_channel(pack)] != 1) {
    return;
  }
  // Masking first keeps every operand value inside the tile memory; what is
  // still off the plane after masking is dropped.
  const std::size_t row = pack.data(2) & tile_row_operand_mask;
  const std::size_t col = pack.data(3) & tile_column_operand_mask;
  if (row >= tile_rows || col >= tile_columns) {
    return;
  }

  std::array<std::uint8_t, tile_height> patterns;
  for (std::size_t y = 0; y < tile_height; ++y) {
    patterns[y] = pack.data(first_pattern_operand + y) & row_mask;
  }
  const std::uint8_t colour0 = pack.data(0) & colour_mask;
  const std::uint8_t colour1 = pack.data(1) & colour_mask;

  Tile& tile = plane.logical_tile(row, col);
  for (std::size_t k = 0; k < bit_planes; ++k) {
    const bool colour0_bit = ((colour0 >> k) & 1U) != 0;
    const bool colour1_bit = ((colour1 >> k) & 1U) != 0;
    std::uint8_t* plane_rows = tile.bytes.data() + k * tile_height;
    for (std::size_t y = 0; y < tile_height; ++y) {
      const std::uint8_t v =
          tile_row_byte(patterns[y], colour0_bit, colour1_bit);
      plane_rows[y] = draw == TileDraw::Xor ? plane_rows[y] ^ v : v;
    }
  }
}

void apply_instruction(GraphicsPlane& plane, const SubcodePack& pack) {
  // The whole byte selects the instruction: codes with bits 6 or 7 set are
  // unknown, not aliases of their low six bits.
  switch (static_cast<Instruction>(pack.instruction())) {
    case Instruction::MemoryPreset:
      memory_preset(plane, pack.data(0));
      break;
    case Instruction::BorderPreset:
      border_preset(plane, pack.data(0));
      break;
    case Instruction::TileBlock:
      tile_block(plane, pack, TileDraw::Normal);
      break;
    case Instruction::ScrollPreset:
      scroll_preset(plane, pack);
      break;
    case Instruction::ScrollCopy:
      scroll_copy(plane, pack);
      break;
    case Instruction::LoadColourTableLow:
      load_colour_table(plane, pack, 0);
      break;
    case Instruction::LoadColourTableHigh:
      load_colour_table(plane, pack, colour_count / 2);
      break;
    case Instruction::TileBlockXor:
      tile_block(plane, pack, TileDraw::Xor);
      break;
    default:
      break;
  }
}

}  // namespace glyphreel
