// Scrolling a plane: coarse steps rotate the tile offsets, fine offsets are
// applied when a frame is composed. Pixel memory never moves.
#pragma once

#include "base/subcode_pack.hpp"
#include "plane/graphics_plane.hpp"

namespace glyphreel {

enum class ScrollFill : std::uint8_t { Preset, Copy };

// Instruction 20 (Preset: the exposed column or row is filled with the
// colour of data[0]) and 24 (Copy: what leaves one side comes back on the
// other).
void scroll(GraphicsPlane& plane, const SubcodePack& pack, ScrollFill fill);

inline void scroll_preset(GraphicsPlane& plane, const SubcodePack& pack) {
  scroll(plane, pack, ScrollFill::Preset);
}
inline void scroll_copy(GraphicsPlane& plane, const SubcodePack& pack) {
  scroll(plane, pack, ScrollFill::Copy);
}

}  // namespace glyphreel
