// Turning planes into frames.
#pragma once

#include <array>
#include <cstdint>

#include "compose/rgb_frame.hpp"
#include "plane/graphics_plane.hpp"

namespace glyphreel {

// How the rows of one plane are painted: Pairs looks up the bytes of two
// pixels at a time and runs anywhere; Shuffles paints sixteen at a time with
// the byte shuffles of x86 processors (SSSE3), and is Pairs on processors
// without them. Both give the same bytes.
enum class RowPaint : std::uint8_t { Pairs, Shuffles };

// One plane through its own colour table, each 4-bit channel v shown as
// 16 v + 8.
RgbFrame render_plane(const GraphicsPlane& plane,
                      RowPaint paint = RowPaint::Shuffles);

// Both planes added channel by channel: a sum t shows as 16 t + 8, or 255
// from 16 upward. Each plane is walked with its own border and offsets.
RgbFrame render_mixed(const GraphicsPlane& primary,
                      const GraphicsPlane& secondary);

// Both planes as one 8-bit index, primary the low four bits and secondary
// the high four, into a table of 8-bit colours shown as they stand.
RgbFrame render_256_colour(const GraphicsPlane& primary,
                           const GraphicsPlane& secondary,
                           const std::array<Rgb, 256>& rgb_table_256);

}  // namespace glyphreel
