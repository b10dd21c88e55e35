// CD+EG: where mode-9 packs go under the write and display modes, and the
// extended-graphics instructions of mode-10 packs.
#pragma once

#include <cstddef>

#include "packs/graphics_state.hpp"
#include "base/subcode_pack.hpp"

namespace glyphreel {

// Extended-graphics instruction codes (mode-10 packs), whole bytes.
namespace extended {
inline constexpr std::uint8_t memory_control = 3;
inline constexpr std::uint8_t secondary_tile_block = 6;
inline constexpr std::uint8_t secondary_tile_block_xor = 14;
// 16 ... 47: eight colours from entry (code - 16) * 8.
inline constexpr std::uint8_t load_colours_first = 16;
inline constexpr std::uint8_t load_colours_last = 47;
// 48 ... 63: the low bits of sixteen colours from entry (code - 48) * 16.
inline constexpr std::uint8_t low_bits_first = 48;
inline constexpr std::uint8_t low_bits_last = 63;
}  // namespace extended

// A mode-9 pack in a "cdeg" run, sent to the planes and tables that the
// write and display modes select. Display mode 0 with write mode Primary or
// Secondary cannot arise; meeting it is a fatal stop.
void route_graphics_pack(ExtendedGraphicsState& state, const SubcodePack& pack);

// A mode-10 pack: memory control in every display mode, then what the
// display mode allows.
void apply_extended_pack(ExtendedGraphicsState& state, const SubcodePack& pack);

// Instruction 3: write and display modes from the low nibble of data[0].
void memory_control(ExtendedGraphicsState& state, const SubcodePack& pack);

// Eight colours from the pack's operand pairs: into colour_table_256 from
// first_index (display mode 0), or into the planes' own tables at 0 or 8 as
// the write mode selects (display modes 1 to 3).
void load_colour_entries(ExtendedGraphicsState& state, const SubcodePack& pack,
                         std::size_t first_index);

// The two low bits of each channel of sixteen colour_table_256 entries.
void set_colour_low_bits(ExtendedGraphicsState& state, const SubcodePack& pack,
                         std::size_t first_index);

// rgb_table_256 := colour_table_256 * 4; its only writer.
void refresh_rgb_table_256(ExtendedGraphicsState& state);

}  // namespace glyphreel
