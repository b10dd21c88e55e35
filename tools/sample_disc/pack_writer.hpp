// Pack writers of the sample-disc generator: each function appends whole
// 24-byte subcode packs to a byte vector that holds a run of packs, four to
// a sector. Parity bytes are left zero (no reader checks them). Colour
// operands are masked to four bits, so every tile block goes out on channel
// 0, which every player draws. Nothing here validates screen positions:
// callers choose rows 0 ... 17 and columns 0 ... 49.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glyphreel::sample_disc {

inline constexpr std::size_t pack_bytes = 24;
inline constexpr std::size_t packs_per_sector = 4;

inline constexpr std::uint8_t mode_idle = 0;
inline constexpr std::uint8_t mode_graphics = 9;
inline constexpr std::uint8_t mode_extended = 10;

// Instruction codes of mode-9 packs.
inline constexpr std::uint8_t op_memory_preset = 1;
inline constexpr std::uint8_t op_border_preset = 2;
inline constexpr std::uint8_t op_tile_block = 6;
inline constexpr std::uint8_t op_scroll_preset = 20;
inline constexpr std::uint8_t op_scroll_copy = 24;
inline constexpr std::uint8_t op_load_colours_low = 30;
inline constexpr std::uint8_t op_load_colours_high = 31;
inline constexpr std::uint8_t op_tile_block_xor = 38;

// Instruction codes of mode-10 packs.
inline constexpr std::uint8_t op_memory_control = 3;
inline constexpr std::uint8_t op_extended_tile_block = 6;
inline constexpr std::uint8_t op_extended_tile_block_xor = 14;
inline constexpr std::uint8_t op_load_entries_first = 16;   // 16 ... 47
inline constexpr std::uint8_t op_load_low_bits_first = 48;  // 48 ... 63

using PackBytes = std::vector<std::uint8_t>;

// Twelve pixel rows of one 6 x 12 tile, top row first; bit 5 is the
// leftmost pixel, bits 6 and 7 are never drawn.
using TilePattern = std::array<std::uint8_t, 12>;

inline constexpr TilePattern solid_pattern = {
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F};

// One colour. In a 16-entry table each channel holds 4 bits (0 ... 15); in
// the 256-entry table of extended graphics each holds 6 bits (0 ... 63).
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

enum class TileDraw : std::uint8_t { Normal, Xor };

// Coarse part of a scroll: one whole tile, or none.
enum class ScrollMove : std::uint8_t {
  Stay = 0,
  RightOrDown = 1,
  LeftOrUp = 2
};

struct ScrollStep {
  ScrollMove horizontal = ScrollMove::Stay;
  std::uint8_t h_fine = 0;  // 0 ... 5 pixels
  ScrollMove vertical = ScrollMove::Stay;
  std::uint8_t v_fine = 0;  // 0 ... 11 pixels
};

enum class WriteMode : std::uint8_t {
  NoWrite = 0,
  Primary = 1,
  Secondary = 2,
  Both = 3
};

// 0: 256 colours, 1: primary plane, 2: secondary plane, 3: both mixed.
enum class DisplayMode : std::uint8_t {
  Colour256 = 0,
  PrimaryOnly = 1,
  SecondaryOnly = 2,
  Mixed = 3
};

// `count` packs whose every byte is zero: mode 0, nothing to do.
void idle(PackBytes& packs, std::size_t count = 1);

// Whole plane to `colour`; `repeat` (0 ... 15) numbers the copies that discs
// send so that one damaged pack does not lose the clear.
void memory_preset(PackBytes& packs, std::uint8_t colour,
                   std::uint8_t repeat = 0);
void border_preset(PackBytes& packs, std::uint8_t colour);

// One tile at logical (row, col): pattern bits 1 take colour1, bits 0 take
// colour0; with Xor both are XORed into what the tile holds.
void tile_block(PackBytes& packs, TileDraw draw, std::uint8_t colour0,
                std::uint8_t colour1, std::uint8_t row, std::uint8_t col,
                const TilePattern& pattern);

void scroll_preset(PackBytes& packs, std::uint8_t fill, ScrollStep step);
void scroll_copy(PackBytes& packs, ScrollStep step);

// Eight 4-bit colours: entries 0 ... 7 (first_entry 0) or 8 ... 15 (8).
void load_colours(PackBytes& packs, std::uint8_t first_entry,
                  std::span<const Rgb, 8> colours);
// All sixteen entries: the low pack, then the high pack.
void load_colour_table(PackBytes& packs, std::span<const Rgb, 16> colours);

// Extended graphics (mode 10).
void memory_control(PackBytes& packs, WriteMode write, DisplayMode display);

// A tile block on the secondary plane (256-colour display only).
void extended_tile_block(PackBytes& packs, TileDraw draw, std::uint8_t colour0,
                         std::uint8_t colour1, std::uint8_t row,
                         std::uint8_t col, const TilePattern& pattern);

// Bits 5-2 of eight 6-bit entries from first_entry (a multiple of 8, at
// most 248); bits 1-0 keep their value.
void load_entries(PackBytes& packs, std::uint8_t first_entry,
                  std::span<const Rgb, 8> colours);
// Bits 1-0 of sixteen 6-bit entries from first_entry (a multiple of 16, at
// most 240); bits 5-2 keep their value.
void load_low_bits(PackBytes& packs, std::uint8_t first_entry,
                   std::span<const Rgb, 16> colours);

}  // namespace glyphreel::sample_disc
