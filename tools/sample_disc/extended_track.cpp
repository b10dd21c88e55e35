#include "sample_disc/extended_track.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "sample_disc/font.hpp"
#include "sample_disc/pack_writer.hpp"

namespace glyphreel::sample_disc {
namespace {

using Table256 = std::array<Rgb, 256>;

// Backgrounds differ between the planes: the secondary one is black, so in
// the mixed display the primary picture keeps its own colours wherever the
// secondary plane has nothing drawn.
constexpr Palette primary_palette = {{{0, 0, 5},
                                      {0, 0, 3},
                                      {2, 4, 12},
                                      {6, 10, 15},
                                      {0, 0, 8},
                                      {15, 15, 15},
                                      {15, 14, 2},
                                      {15, 8, 0},
                                      {0, 2, 8},
                                      {4, 8, 15},
                                      {15, 15, 10},
                                      {12, 12, 15},
                                      {0, 9, 9},
                                      {0, 12, 6},
                                      {9, 0, 9},
                                      {15, 15, 15}}};
constexpr Palette secondary_palette = {{{0, 0, 0},
                                        {2, 0, 0},
                                        {12, 2, 0},
                                        {15, 9, 2},
                                        {6, 0, 0},
                                        {15, 12, 12},
                                        {12, 12, 2},
                                        {15, 4, 8},
                                        {8, 0, 0},
                                        {12, 6, 0},
                                        {15, 15, 8},
                                        {10, 2, 4},
                                        {6, 6, 0},
                                        {9, 0, 2},
                                        {3, 3, 3},
                                        {15, 15, 15}}};

// Three 256-colour tables of 6-bit channels, indexed by (high nibble from
// the secondary plane, low nibble from the primary plane). Each runs its
// own gradients, so that every change of table is plain to see. Entry 0 is
// also the cleared screen around the picture, so it is kept dark.
Table256 make_table(Rgb background,
                    const std::function<Rgb(unsigned, unsigned)>& entry) {
  Table256 table{};
  for (unsigned i = 0; i < table.size(); ++i) table[i] = entry(i >> 4, i & 15);
  table[0] = background;
  return table;
}

std::uint8_t u8(unsigned v) { return static_cast<std::uint8_t>(v); }

Table256 dawn_table() {
  return make_table({0, 0, 12}, [](unsigned hi, unsigned lo) {
    return Rgb{u8(lo * 4 + 3), u8(hi * 4 + 2), u8(63 - (lo + hi) * 2)};
  });
}

Table256 sea_table() {
  return make_table({0, 10, 8}, [](unsigned hi, unsigned lo) {
    return Rgb{u8(hi * 4 + 1), u8(63 - lo * 4), u8(lo * 4)};
  });
}

Table256 ember_table() {
  return make_table({12, 0, 4}, [](unsigned hi, unsigned lo) {
    return Rgb{u8(63 - hi * 2), u8(lo * 3 + hi), u8(hi * 2 + 1)};
  });
}

// The 256-colour grid: 16 tile columns give the low nibble; 8 tile rows,
// each split into a top and a bottom half, give the high nibble.
constexpr std::uint8_t grid_first_row = 4;
constexpr std::uint8_t grid_first_col = 17;
constexpr TilePattern lower_half = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F};

void pause(Timeline& t, std::uint64_t gap) {
  if (gap > 1) t.rest(gap - 1);
}

// Loads the whole table: the upper four bits of each channel, eight entries
// a pack, then the lower two bits, sixteen entries a pack. Only takes
// effect on screen at the next memory control with refresh.
void load_table(Timeline& t, const Table256& table, std::uint64_t gap) {
  const std::span<const Rgb, 256> all(table);
  for (std::size_t first = 0; first < 256; first += 8) {
    load_entries(t.packs(), u8(first), all.subspan(first).first<8>());
    pause(t, gap);
  }
  for (std::size_t first = 0; first < 256; first += 16) {
    load_low_bits(t.packs(), u8(first), all.subspan(first).first<16>());
    pause(t, gap);
  }
}

void draw_grid(Timeline& t) {
  for (unsigned r = 0; r < 8; ++r) {
    for (unsigned c = 0; c < 16; ++c) {
      const std::uint8_t row = u8(grid_first_row + r);
      const std::uint8_t col = u8(grid_first_col + c);
      // Low nibble on the primary plane, high nibble on the secondary.
      tile_block(t.packs(), TileDraw::Normal, u8(c), u8(c), row, col,
                 solid_pattern);
      extended_tile_block(t.packs(), TileDraw::Normal, u8(2 * r), u8(2 * r + 1),
                          row, col, lower_half);
      t.rest(1);
    }
  }
}

// Mode-10 XOR text flips the high nibble under the glyph's pixels.
void draw_extended_text(Timeline& t, std::uint8_t row, std::string_view text,
                        std::uint8_t flip) {
  const std::uint8_t first = centred_column(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    extended_tile_block(t.packs(), TileDraw::Xor, 0, flip, row, u8(first + i),
                        glyph(text[i]));
    t.rest(3);
  }
}

// A phrase of the tune at each change of mode.
void chime(Timeline& t, Melody& melody, int notes) {
  for (int k = 0; k < notes; ++k) {
    t.add_note(Note{t.now() + static_cast<std::uint64_t>(k) * seconds(0.2),
                    seconds(0.18), melody.next_frequency(), 0.25,
                    k % 2 == 0 ? -0.3 : 0.3});
  }
}

void clear_plane(Timeline& t) {
  for (std::uint8_t repeat = 0; repeat < 2; ++repeat) {
    memory_preset(t.packs(), colour_background, repeat);
  }
  border_preset(t.packs(), colour_border);
}

}  // namespace

Timeline extended_graphics_track(Melody& melody) {
  Timeline t;

  // The primary plane alone.
  load_colour_table(t.packs(), primary_palette);
  memory_control(t.packs(), WriteMode::Primary, DisplayMode::PrimaryOnly);
  clear_plane(t);
  chime(t, melody, 4);
  draw_text(t, 2, centred_column("PRIMARY PLANE"), "PRIMARY PLANE",
            colour_background, colour_text, 4);
  draw_box(t, {5, 10, 6, 25}, colour_frame, colour_frame_light, stripe_pattern,
           2);
  t.wait_until(seconds(1.7));

  // The secondary plane alone: colour loads and CD+G drawing now go there.
  memory_control(t.packs(), WriteMode::Secondary, DisplayMode::SecondaryOnly);
  load_colour_table(t.packs(), secondary_palette);
  clear_plane(t);
  chime(t, melody, 4);
  draw_text(t, 15, centred_column("SECONDARY PLANE"), "SECONDARY PLANE",
            colour_background, colour_text, 4);
  draw_box(t, {8, 13, 20, 41}, colour_frame, colour_frame_light,
           diamond_pattern, 2);
  t.wait_until(seconds(3.4));

  // Both planes mixed; first drawing on the primary plane alone, then on
  // both at once.
  memory_control(t.packs(), WriteMode::Primary, DisplayMode::Mixed);
  chime(t, melody, 4);
  t.rest(seconds(0.3));
  draw_text(t, 12, 5, "MIXED", colour_background, colour_sung, 6);
  memory_control(t.packs(), WriteMode::Both, DisplayMode::Mixed);
  draw_text(t, 11, 30, "BOTH", colour_background, colour_marker, 6);
  t.wait_until(seconds(4.6));

  // 256 colours. The table loads only count in the 256-colour display, so
  // switch to it first without writing; the screen shows the table as last
  // refreshed until the memory control with refresh.
  memory_control(t.packs(), WriteMode::NoWrite, DisplayMode::Colour256);
  load_table(t, dawn_table(), 2);
  memory_control(t.packs(), WriteMode::Both, DisplayMode::Colour256);
  chime(t, melody, 6);
  // Clears the primary plane to index 0 and the secondary plane with it.
  memory_preset(t.packs(), 0);
  border_preset(t.packs(), 0);
  draw_grid(t);
  draw_extended_text(t, 14, "256 COLOURS", 0x0F);
  t.rest(seconds(0.4));

  // New tables change every colour of the picture at the refresh.
  load_table(t, sea_table(), 1);
  memory_control(t.packs(), WriteMode::Both, DisplayMode::Colour256);
  chime(t, melody, 2);
  t.rest(seconds(0.5));
  load_table(t, ember_table(), 1);
  memory_control(t.packs(), WriteMode::Both, DisplayMode::Colour256);
  chime(t, melody, 2);
  t.rest(seconds(0.5));
  return t;
}

}  // namespace glyphreel::sample_disc
