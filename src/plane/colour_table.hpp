// Loading a plane's 16-entry colour table from a pack.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/subcode_pack.hpp"
#include "plane/graphics_plane.hpp"

namespace glyphreel {

// The 12-bit colour of one operand pair: hi = --RRRRGG, lo = --GGBBBB.
Rgb decode_colour(std::uint8_t hi, std::uint8_t lo);

// Loads entries load_start_index ... load_start_index + 7 from the pack's
// eight operand pairs. load_start_index must be 0 or 8; anything else is a
// caller error and a fatal stop.
void load_colour_table(GraphicsPlane& plane, const SubcodePack& pack,
                       std::size_t load_start_index);

}  // namespace glyphreel
