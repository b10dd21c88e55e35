// The CD+G instruction set of one graphics plane.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/subcode_pack.hpp"
#include "plane/graphics_plane.hpp"

namespace glyphreel {

// Instruction codes of mode-9 packs, compared as whole bytes.
enum class Instruction : std::uint8_t {
  MemoryPreset = 1,
  BorderPreset = 2,
  TileBlock = 6,
  ScrollPreset = 20,
  ScrollCopy = 24,
  LoadColourTableLow = 30,
  LoadColourTableHigh = 31,
  TileBlockXor = 38,
};

enum class TileDraw : std::uint8_t { Normal, Xor };

// Applies one mode-9 pack to the plane; unknown instruction bytes are
// ignored. Never fails, never allocates.
void apply_instruction(GraphicsPlane& plane, const SubcodePack& pack);

// Every pixel becomes colour (colour & 0x0F); both fine offsets become 0.
void memory_preset(GraphicsPlane& plane, std::uint8_t colour);

// Draws one tile from the pack's operands, or nothing when its channel is
// disabled or its row or column lies off the plane.
void tile_block(GraphicsPlane& plane, const SubcodePack& pack, TileDraw draw);

// The solid tile of colour (colour & 0x0F) that presets fill with.
Tile solid_tile(std::uint8_t colour);

}  // namespace glyphreel
