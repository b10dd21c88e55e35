#include "sample_disc/pack_writer.hpp"

namespace glyphreel::sample_disc {
namespace {

using Operands = std::array<std::uint8_t, 16>;

void append(PackBytes& packs, std::uint8_t mode, std::uint8_t instruction,
            const Operands& data) {
  std::array<std::uint8_t, pack_bytes> pack{};
  pack[0] = mode;
  pack[1] = instruction;
  // Bytes 2-3 and 20-23 are parity, left zero.
  for (std::size_t i = 0; i < data.size(); ++i) pack[4 + i] = data[i];
  packs.insert(packs.end(), pack.begin(), pack.end());
}

Operands tile_operands(std::uint8_t colour0, std::uint8_t colour1,
                       std::uint8_t row, std::uint8_t col,
                       const TilePattern& pattern) {
  // Keeping bits 4-5 of both colour bytes clear selects channel 0.
  Operands data{};
  data[0] = colour0 & 0x0F;
  data[1] = colour1 & 0x0F;
  data[2] = row & 0x1F;
  data[3] = col & 0x3F;
  for (std::size_t y = 0; y < pattern.size(); ++y) {
    data[4 + y] = pattern[y] & 0x3F;
  }
  return data;
}

Operands scroll_operands(std::uint8_t fill, ScrollStep step) {
  Operands data{};
  data[0] = fill & 0x0F;
  data[1] = static_cast<std::uint8_t>(
      (static_cast<unsigned>(step.horizontal) << 4) | (step.h_fine & 0x07));
  data[2] = static_cast<std::uint8_t>(
      (static_cast<unsigned>(step.vertical) << 4) | (step.v_fine & 0x0F));
  return data;
}

// The colour pair of the load instructions: --RRRRGG --GGBBBB, four bits
// per channel.
void put_colour_pair(Operands& data, std::size_t pair, Rgb colour4) {
  const unsigned red = colour4.red & 0x0F;
  const unsigned green = colour4.green & 0x0F;
  const unsigned blue = colour4.blue & 0x0F;
  data[2 * pair] = static_cast<std::uint8_t>((red << 2) | (green >> 2));
  data[2 * pair + 1] = static_cast<std::uint8_t>(((green & 0x03) << 4) | blue);
}

}  // namespace

void idle(PackBytes& packs, std::size_t count) {
  packs.resize(packs.size() + count * pack_bytes, 0);
}

void memory_preset(PackBytes& packs, std::uint8_t colour, std::uint8_t repeat) {
  Operands data{};
  data[0] = colour & 0x0F;
  data[1] = repeat & 0x0F;
  append(packs, mode_graphics, op_memory_preset, data);
}

void border_preset(PackBytes& packs, std::uint8_t colour) {
  Operands data{};
  data[0] = colour & 0x0F;
  append(packs, mode_graphics, op_border_preset, data);
}

void tile_block(PackBytes& packs, TileDraw draw, std::uint8_t colour0,
                std::uint8_t colour1, std::uint8_t row, std::uint8_t col,
                const TilePattern& pattern) {
  append(packs, mode_graphics,
         draw == TileDraw::Xor ? op_tile_block_xor : op_tile_block,
         tile_operands(colour0, colour1, row, col, pattern));
}

void scroll_preset(PackBytes& packs, std::uint8_t fill, ScrollStep step) {
  append(packs, mode_graphics, op_scroll_preset, scroll_operands(fill, step));
}

void scroll_copy(PackBytes& packs, ScrollStep step) {
  append(packs, mode_graphics, op_scroll_copy, scroll_operands(0, step));
}

void load_colours(PackBytes& packs, std::uint8_t first_entry,
                  std::span<const Rgb, 8> colours) {
  Operands data{};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    put_colour_pair(data, i, colours[i]);
  }
  append(packs, mode_graphics,
         first_entry == 0 ? op_load_colours_low : op_load_colours_high, data);
}

void load_colour_table(PackBytes& packs, std::span<const Rgb, 16> colours) {
  load_colours(packs, 0, colours.first<8>());
  load_colours(packs, 8, colours.last<8>());
}

void memory_control(PackBytes& packs, WriteMode write, DisplayMode display) {
  Operands data{};
  data[0] = static_cast<std::uint8_t>((static_cast<unsigned>(display) << 2) |
                                      static_cast<unsigned>(write));
  append(packs, mode_extended, op_memory_control, data);
}

void extended_tile_block(PackBytes& packs, TileDraw draw, std::uint8_t colour0,
                         std::uint8_t colour1, std::uint8_t row,
                         std::uint8_t col, const TilePattern& pattern) {
  append(packs, mode_extended,
         draw == TileDraw::Xor ? op_extended_tile_block_xor
                               : op_extended_tile_block,
         tile_operands(colour0, colour1, row, col, pattern));
}

void load_entries(PackBytes& packs, std::uint8_t first_entry,
                  std::span<const Rgb, 8> colours) {
  // The entry packs carry the upper four of the six bits per channel in the
  // same pair layout as a 16-colour load.
  Operands data{};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const Rgb& c = colours[i];
    put_colour_pair(data, i,
                    Rgb{static_cast<std::uint8_t>(c.red >> 2),
                        static_cast<std::uint8_t>(c.green >> 2),
                        static_cast<std::uint8_t>(c.blue >> 2)});
  }
  append(packs, mode_extended,
         static_cast<std::uint8_t>(op_load_entries_first + first_entry / 8),
         data);
}

void load_low_bits(PackBytes& packs, std::uint8_t first_entry,
                   std::span<const Rgb, 16> colours) {
  Operands data{};
  for (std::size_t k = 0; k < colours.size(); ++k) {
    const Rgb& c = colours[k];
    data[k] = static_cast<std::uint8_t>(
        ((c.red & 0x03) << 4) | ((c.green & 0x03) << 2) | (c.blue & 0x03));
  }
  append(packs, mode_extended,
         static_cast<std::uint8_t>(op_load_low_bits_first + first_entry / 16),
         data);
}

}  // namespace glyphreel::sample_disc
