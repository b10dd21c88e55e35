// The colour tables of one composition, built afresh from the planes' 4-bit
// colour tables for every frame: one plane's colours widened to 8-bit levels,
// and the saturating mix of the primary and the secondary plane's colours.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "plane/graphics_plane.hpp"

namespace glyphreel {

using ColourTable = std::array<Rgb, colour_count>;
using RgbTable256 = std::array<Rgb, colour_count * colour_count>;

// The 8-bit level that shows a 4-bit channel value, or the sum of two: 16 t
// + 8 for t up to 15 (so 0 shows as 8 and 15 as 248), 255 from 16 upward.
constexpr std::uint8_t shown_level(std::uint64_t t) {
  return t >= 16 ? 255 : static_cast<std::uint8_t>(16 * t + 8);
}

static_assert(shown_level(0) == 8 && shown_level(7) == 120);
static_assert(shown_level(8) == 136 && shown_level(15) == 248);
static_assert(shown_level(16) == 255 && shown_level(30) == 255);

// A plane's colour table with every channel widened by `shown_level`, in the
// same entry and channel order.
constexpr ColourTable rgb_table_16(const ColourTable& colour_table) {
  ColourTable table;
  for (std::size_t n = 0; n < colour_count; ++n) {
    table[n] = {shown_level(colour_table[n].red),
                shown_level(colour_table[n].green),
                shown_level(colour_table[n].blue)};
  }
  return table;
}

// Entry p * 16 + s shows primary colour p over secondary colour s: the two
// colours added channel by channel, each sum shown by `shown_level`.
constexpr RgbTable256 mix_table(const ColourTable& primary,
                                const ColourTable& secondary) {
  RgbTable256 table;
  for (std::size_t p = 0; p < colour_count; ++p) {
    for (std::size_t s = 0; s < colour_count; ++s) {
      const Rgb& a = primary[p];
      const Rgb& b = secondary[s];
      table[p * colour_count + s] = {
          shown_level(std::uint64_t{a.red} + b.red),
          shown_level(std::uint64_t{a.green} + b.green),
          shown_level(std::uint64_t{a.blue} + b.blue)};
    }
  }
  return table;
}

}  // namespace glyphreel
