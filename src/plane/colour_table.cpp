#include "plane/colour_table.hpp"

#include "base/fatal_error.hpp"

namespace glyphreel {

Rgb decode_colour(std::uint8_t hi, std::uint8_t lo) {
  // Four bits per channel across the pair; bits 6-7 of both bytes are
  // ignored, and green straddles the two bytes with its upper bits in hi.
  Rgb colour;
  colour.red = static_cast<std::uint8_t>((hi >> 2) & 0x0F);
  colour.green =
      static_cast<std::uint8_t>(((hi & 0x03) << 2) | ((lo >> 4) & 0x03));
  colour.blue = static_cast<std::uint8_t>(lo & 0x0F);
  return colour;
}

void load_colour_table(GraphicsPlane& plane, const SubcodePack& pack,
                       std::size_t load_start_index) {
  constexpr std::size_t pairs = colour_count / 2;
  // Only the low and high halves exist; the check comes before any entry is
  // written so a bad call leaves the table whole.
  if (load_start_index != 0 && load_start_index != pairs) {
    throw FatalError(
        "assertion failed: load_start_index == 0 || load_start_index == 8");
  }
  for (std::size_t i = 0; i < pairs; ++i) {
    plane.colour_table[load_start_index + i] =
        decode_colour(pack.data(2 * i), pack.data(2 * i + 1));
  }
}

}  // namespace glyphreel
