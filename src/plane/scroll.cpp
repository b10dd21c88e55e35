#include "plane/scroll.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "plane/instructions.hpp"

namespace glyphreel {
namespace {

// Coarse commands in bits 4-5 of the horizontal and vertical operands; 0 and
// 3 leave the tile offsets alone.
enum class Coarse : std::uint8_t { Stay = 0, Forward = 1, Back = 2, Hold = 3 };

constexpr std::uint8_t h_fine_operand_mask = 0x07;
constexpr std::uint8_t v_fine_operand_mask = 0x0F;

Coarse coarse_command(std::uint8_t operand) {
  return static_cast<Coarse>((operand >> 4) & 0x03);
}

// Rotates a tile offset by one step over `count` tiles and names the logical
// index that the step exposes: Forward moves the picture right (or down), the
// offset steps back and logical index 0 now holds what was the last; Back
// moves it left (or up) and the last index now holds what was index 0.
// Nothing for the commands that leave the offset alone.
std::optional<std::size_t> rotate(std::uint64_t& offset, std::size_t count,
                                  Coarse command) {
  if (command == Coarse::Forward) {
    offset = (offset + count - 1) % count;
    return 0;
  }
  if (command == Coarse::Back) {
    offset = (offset + 1) % count;
    return count - 1;
  }
  return std::nullopt;
}

// Only the exposed column's tiles are written, and only for a preset.
void step_horizontal(GraphicsPlane& plane, Coarse command, const Tile* fill) {
  const auto exposed_col = rotate(plane.h_tile_offset, tile_columns, command);
  if (!exposed_col || fill == nullptr) return;
  for (std::size_t row = 0; row < tile_rows; ++row) {
    plane.logical_tile(row, *exposed_col) = *fill;
  }
}

void step_vertical(GraphicsPlane& plane, Coarse command, const Tile* fill) {
  const auto exposed_row = rotate(plane.v_tile_offset, tile_rows, command);
  if (!exposed_row || fill == nullptr) return;
  for (std::size_t col = 0; col < tile_columns; ++col) {
    plane.logical_tile(*exposed_row, col) = *fill;
  }
}

}  // namespace

void scroll(GraphicsPlane& plane, const SubcodePack& pack, ScrollFill fill) {
  const std::uint8_t h_operand = pack.data(1);
  const std::uint8_t v_operand = pack.data(2);
  // A copy never reads the colour operand; a preset builds its fill tile once
  // for both the exposed column and the exposed row.
  const Tile fill_tile =
      fill == ScrollFill::Preset ? solid_tile(pack.data(0)) : Tile{};
  const Tile* exposed_fill = fill == ScrollFill::Preset ? &fill_tile : nullptr;

  // Horizontal before vertical, so the corner tile both expose is written
  // twice with the same fill. Both fine offsets are always set; values past
  // the last visible pixel are held at the largest.
  step_horizontal(plane, coarse_command(h_operand), exposed_fill);
  plane.h_fine_offset = std::min<std::uint64_t>(h_operand & h_fine_operand_mask,
                                                max_h_fine_offset);
  step_vertical(plane, coarse_command(v_operand), exposed_fill);
  plane.v_fine_offset = std::min<std::uint64_t>(v_operand & v_fine_operand_mask,
                                                max_v_fine_offset);
}

}  // namespace glyphreel
