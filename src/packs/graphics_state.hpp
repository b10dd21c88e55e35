// The whole graphics state of a run: two planes, the CD+EG modes and the
// 256-colour tables. Owned by the pack loop; the composer only reads it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "plane/graphics_plane.hpp"

namespace glyphreel {

// Which planes CD+G (mode-9) packs write in a "cdeg" run.
enum class WriteMode : std::uint8_t {
  NoWrite = 0,
  Primary = 1,
  Secondary = 2,
  Both = 3,
};

std::string_view name(WriteMode mode);

// How a frame of a "cdeg" run is made: 0 the 256-colour picture of both
// planes, 1 the primary plane, 2 the secondary plane, 3 both mixed.
using DisplayMode = std::uint8_t;
inline constexpr DisplayMode display_256_colour = 0;
inline constexpr DisplayMode display_primary = 1;
inline constexpr DisplayMode display_secondary = 2;
inline constexpr DisplayMode display_mixed = 3;

struct ExtendedGraphicsState {
  GraphicsPlane primary;
  GraphicsPlane secondary;
  // Colours as loaded from packs: 6-bit channels, bits 7-6 always 0.
  std::array<Rgb, 256> colour_table_256{};
  // What display mode 0 shows: 8-bit channels, refreshed from the table
  // above only by memory control.
  std::array<Rgb, 256> rgb_table_256{};
  WriteMode write_mode = WriteMode::Primary;
  DisplayMode display_mode = display_primary;

  bool operator==(const ExtendedGraphicsState&) const = default;
};

}  // namespace glyphreel
