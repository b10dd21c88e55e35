// Builders of mode-9 packs for tests: each returns the 24 stored bytes; view
// them through SubcodePack (or apply them directly) while they are alive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/subcode_pack.hpp"
#include "plane/graphics_plane.hpp"
#include "plane/instructions.hpp"

namespace glyphreel::test {

using PackBytes = std::array<std::uint8_t, pack_size>;
using Operands = std::array<std::uint8_t, pack_data_size>;
using Patterns = std::array<std::uint8_t, tile_height>;

inline PackBytes graphics_pack(std::uint8_t instruction,
                               const Operands& operands = {}) {
  PackBytes bytes{};
  bytes[0] = mode_graphics;
  bytes[1] = instruction;
  for (std::size_t i = 0; i < pack_data_size; ++i) bytes[4 + i] = operands[i];
  return bytes;
}

inline PackBytes memory_preset_pack(std::uint8_t colour) {
  return graphics_pack(1, {colour});
}

inline PackBytes border_preset_pack(std::uint8_t colour) {
  return graphics_pack(2, {colour});
}

inline PackBytes tile_block_pack(std::uint8_t colour0, std::uint8_t colour1,
                                 std::uint8_t row, std::uint8_t col,
                                 const Patterns& patterns,
                                 TileDraw draw = TileDraw::Normal) {
  Operands operands{colour0, colour1, row, col};
  for (std::size_t y = 0; y < tile_height; ++y) operands[4 + y] = patterns[y];
  return graphics_pack(draw == TileDraw::Xor ? 38 : 6, operands);
}

// h and v are the whole horizontal and vertical operand bytes: command in
// bits 4-5, fine offset below.
inline PackBytes scroll_preset_pack(std::uint8_t colour, std::uint8_t h,
                                    std::uint8_t v) {
  return graphics_pack(20, {colour, h, v});
}

inline PackBytes scroll_copy_pack(std::uint8_t h, std::uint8_t v) {
  return graphics_pack(24, {0, h, v});
}

// Eight (hi, lo) colour pairs for entries 0-7 (low) or 8-15 (high).
inline PackBytes load_colour_table_pack(bool high, const Operands& pairs) {
  return graphics_pack(high ? 31 : 30, pairs);
}

inline SubcodePack view(const PackBytes& bytes) { return SubcodePack(bytes); }

inline void apply_pack(GraphicsPlane& plane, const PackBytes& bytes) {
  apply_instruction(plane, SubcodePack(bytes));
}

// Colour index of pixel (x, y) of a tile: bit k from bit (5 - x) of the row
// byte of bit-plane k.
inline unsigned pixel_colour(const Tile& tile, std::size_t x, std::size_t y) {
  unsigned colour = 0;
  for (std::size_t k = 0; k < bit_planes; ++k) {
    colour |= ((tile.bytes[k * tile_height + y] >> (5 - x)) & 1U) << k;
  }
  return colour;
}

inline bool is_solid(const Tile& tile, unsigned colour) {
  for (std::size_t y = 0; y < tile_height; ++y)
    for (std::size_t x = 0; x < tile_width; ++x)
      if (pixel_colour(tile, x, y) != colour) return false;
  return true;
}

// Gives every physical tile distinct content so rotations can be traced.
inline void mark_tiles(GraphicsPlane& plane) {
  for (std::size_t i = 0; i < plane.tiles.size(); ++i) {
    plane.tiles[i].bytes[0] = static_cast<std::uint8_t>(i % tile_columns);
    plane.tiles[i].bytes[1] = static_cast<std::uint8_t>(i / tile_columns);
  }
}

}  // namespace glyphreel::test
