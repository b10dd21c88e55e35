#include "packs/extended_graphics.hpp"

#include <string>

#include "base/fatal_error.hpp"
#include "plane/colour_table.hpp"
#include "plane/instructions.hpp"

namespace glyphreel {

namespace {

constexpr std::uint8_t channel_high_bits = 0x3C;  // bits 5-2: the CD+G value
constexpr std::uint8_t channel_low_bits = 0x03;

bool writes_primary(WriteMode mode) {
  return mode == WriteMode::Primary || mode == WriteMode::Both;
}
bool writes_secondary(WriteMode mode) {
  return mode == WriteMode::Secondary || mode == WriteMode::Both;
}

// Display mode 0, write mode Both: CD+G packs draw the low four bits of the
// 256-colour indices on the primary plane; the secondary plane, which holds
// the high four bits, is only cleared and scrolled along with it.
void route_256_colour(ExtendedGraphicsState& state, const SubcodePack& pack) {
  switch (static_cast<Instruction>(pack.instruction())) {
    case Instruction::MemoryPreset:
      apply_instruction(state.primary, pack);
      memory_preset(state.secondary, 0);
      break;
    case Instruction::BorderPreset:
      apply_instruction(state.primary, pack);
      state.secondary.border_colour = 0;
      break;
    case Instruction::TileBlock:
    case Instruction::TileBlockXor:
      apply_instruction(state.primary, pack);
      break;
    case Instruction::ScrollPreset:
    case Instruction::ScrollCopy:
      apply_instruction(state.primary, pack);
      apply_instruction(state.secondary, pack);
      break;
    case Instruction::LoadColourTableLow:
      load_colour_entries(state, pack, 0);
      break;
    case Instruction::LoadColourTableHigh:
      load_colour_entries(state, pack, 8);
      break;
  }
}

}  // namespace

std::string_view name(WriteMode mode) {
  switch (mode) {
    case WriteMode::NoWrite:
      return "NoWrite";
    case WriteMode::Primary:
      return "Primary";
    case WriteMode::Secondary:
      return "Secondary";
    case WriteMode::Both:
      return "Both";
  }
  return "?";
}

void route_graphics_pack(ExtendedGraphicsState& state,
                         const SubcodePack& pack) {
  if (state.display_mode == display_256_colour) {
    if (state.write_mode == WriteMode::NoWrite) return;
    if (state.write_mode != WriteMode::Both) {
      throw FatalError("write mode " + std::string(name(state.write_mode)) +
                       " should be impossible for 256-color display mode");
    }
    route_256_colour(state, pack);
    return;
  }
  if (writes_primary(state.write_mode)) apply_instruction(state.primary, pack);
  if (writes_secondary(state.write_mode)) {
    apply_instruction(state.secondary, pack);
  }
}

void apply_extended_pack(ExtendedGraphicsState& state,
                         const SubcodePack& pack) {
  const std::uint8_t code = pack.instruction();
  const auto in_range = [code](std::uint8_t first, std::uint8_t last) {
    return code >= first && code <= last;
  };
  const auto colours_from = [code] {
    return (code - extended::load_colours_first) * std::size_t{8};
  };
  if (code == extended::memory_control) {
    memory_control(state, pack);
  } else if (in_range(extended::load_colours_first,
                      extended::load_colours_first + 1)) {
    // Entries 0-7 and 8-15 load in every display mode: the planes' own
    // tables outside display mode 0.
    load_colour_entries(state, pack, colours_from());
  } else if (state.display_mode != display_256_colour) {
    return;
  } else if (code == extended::secondary_tile_block) {
    tile_block(state.secondary, pack, TileDraw::Normal);
  } else if (code == extended::secondary_tile_block_xor) {
    tile_block(state.secondary, pack, TileDraw::Xor);
  } else if (in_range(extended::load_colours_first,
                      extended::load_colours_last)) {
    load_colour_entries(state, pack, colours_from());
  } else if (in_range(extended::low_bits_first, extended::low_bits_last)) {
    set_colour_low_bits(state, pack, (code - extended::low_bits_first) * 16u);
  }
}

void memory_control(ExtendedGraphicsState& state, const SubcodePack& pack) {
  const std::uint8_t w = pack.data(0) & 0x03;
  const std::uint8_t d = (pack.data(0) >> 2) & 0x03;
  if (d == display_256_colour && (w == 1 || w == 2)) return;
  state.write_mode = static_cast<WriteMode>(w);
  state.display_mode = d;
  if (state.write_mode == WriteMode::Both && d == display_256_colour) {
    refresh_rgb_table_256(state);
  }
}

void load_colour_entries(ExtendedGraphicsState& state, const SubcodePack& pack,
                         std::size_t first_index) {
  if (state.display_mode != display_256_colour) {
    if (writes_primary(state.write_mode)) {
      load_colour_table(state.primary, pack, first_index);
    }
    if (writes_secondary(state.write_mode)) {
      load_colour_table(state.secondary, pack, first_index);
    }
    return;
  }
  const auto keep_low = [](std::uint8_t old_value, std::uint8_t value4) {
    return static_cast<std::uint8_t>((value4 << 2) |
                                     (old_value & channel_low_bits));
  };
  for (std::size_t j = 0; j < 8; ++j) {
    const Rgb colour = decode_colour(pack.data(2 * j), pack.data(2 * j + 1));
    Rgb& entry = state.colour_table_256[first_index + j];
    entry.red = keep_low(entry.red, colour.red);
    entry.green = keep_low(entry.green, colour.green);
    entry.blue = keep_low(entry.blue, colour.blue);
  }
}

void set_colour_low_bits(ExtendedGraphicsState& state, const SubcodePack& pack,
                         std::size_t first_index) {
  const auto with_low = [](std::uint8_t old_value, unsigned bits) {
    return static_cast<std::uint8_t>((old_value & channel_high_bits) |
                                     (bits & channel_low_bits));
  };
  for (std::size_t k = 0; k < 16; ++k) {
    const std::uint8_t b = pack.data(k);
    Rgb& entry = state.colour_table_256[first_index + k];
    entry.red = with_low(entry.red, b >> 4);
    entry.green = with_low(entry.green, b >> 2);
    entry.blue = with_low(entry.blue, b);
  }
}

void refresh_rgb_table_256(ExtendedGraphicsState& state) {
  const std::array<Rgb, 256> loaded = state.colour_table_256;
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    state.rgb_table_256[i] = {static_cast<std::uint8_t>(loaded[i].red << 2),
                              static_cast<std::uint8_t>(loaded[i].green << 2),
                              static_cast<std::uint8_t>(loaded[i].blue << 2)};
  }
}

}  // namespace glyphreel
