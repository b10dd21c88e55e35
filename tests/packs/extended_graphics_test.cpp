#include "packs/extended_graphics.hpp"

#include <gtest/gtest.h>

#include "base/fatal_error.hpp"
#include "packs/pack_loop.hpp"
#include "plane/pack_builders.hpp"

namespace glyphreel {
namespace {

using test::graphics_pack;
using test::Operands;
using test::PackBytes;

PackBytes extended_pack(std::uint8_t instruction, const Operands& operands = {}) {
  PackBytes bytes = graphics_pack(instruction, operands);
  bytes[0] = mode_extended_graphics;
  return bytes;
}

PackBytes memory_control_pack(std::uint8_t data0) {
  return extended_pack(3, {data0});
}

// Applies packs in a "cdeg" run.
void apply_all(ExtendedGraphicsState& state,
               std::initializer_list<PackBytes> packs) {
  for (const PackBytes& bytes : packs) {
    apply_pack(state, SubcodePack(bytes), true);
  }
}

ExtendedGraphicsState in_modes(WriteMode write_mode, DisplayMode display_mode) {
  ExtendedGraphicsState state;
  state.write_mode = write_mode;
  state.display_mode = display_mode;
  return state;
}

const Rgb white4{15, 15, 15};

TEST(MemoryControl, LowNibbleSelectsWriteAndDisplayMode) {
  for (const std::uint8_t ignored : {0x01, 0x02, 0x11, 0xF2}) {
    ExtendedGraphicsState state;
    apply_all(state, {memory_control_pack(ignored)});
    EXPECT_EQ(state, ExtendedGraphicsState{}) << int{ignored};
  }
  const struct {
    std::uint8_t data0;
    WriteMode write_mode;
    DisplayMode display_mode;
  } cases[] = {{0x00, WriteMode::NoWrite, 0},   {0x03, WriteMode::Both, 0},
               {0xF3, WriteMode::Both, 0},      {0x04, WriteMode::NoWrite, 1},
               {0x07, WriteMode::Both, 1},      {0x09, WriteMode::Primary, 2},
               {0x0A, WriteMode::Secondary, 2}, {0x8E, WriteMode::Secondary, 3}};
  for (const auto& c : cases) {
    ExtendedGraphicsState state;
    apply_all(state, {memory_control_pack(c.data0)});
    EXPECT_EQ(state.write_mode, c.write_mode) << int{c.data0};
    EXPECT_EQ(state.display_mode, c.display_mode) << int{c.data0};
  }
  // 0x43 is not memory control: bit 6 makes it another instruction.
  ExtendedGraphicsState state;
  apply_all(state, {extended_pack(0x43, {0x03})});
  EXPECT_EQ(state, ExtendedGraphicsState{});
}

TEST(MemoryControl, OnlyLowNibbleThreeRefreshesTheShownTable) {
  // Entry 0 loaded as 15,15,15 in display mode 0: 60 in 6 bits.
  ExtendedGraphicsState state = in_modes(WriteMode::NoWrite, 0);
  apply_all(state, {extended_pack(16, {0x3F, 0x3F})});
  EXPECT_EQ(state.colour_table_256[0], (Rgb{60, 60, 60}));
  EXPECT_EQ(state.rgb_table_256[0], (Rgb{0, 0, 0}));
  apply_all(state, {memory_control_pack(0x00), memory_control_pack(0x07)});
  EXPECT_EQ(state.rgb_table_256[0], (Rgb{0, 0, 0}));
  apply_all(state, {memory_control_pack(0x03)});
  EXPECT_EQ(state.rgb_table_256[0], (Rgb{240, 240, 240}));
  // Loading again stays hidden until the next refresh, even in Both / 0.
  apply_all(state, {extended_pack(48, {0x3F})});
  EXPECT_EQ(state.colour_table_256[0], (Rgb{63, 63, 63}));
  EXPECT_EQ(state.rgb_table_256[0], (Rgb{240, 240, 240}));
  apply_all(state, {memory_control_pack(0x03)});
  EXPECT_EQ(state.rgb_table_256[0], (Rgb{252, 252, 252}));
}

TEST(ColourTable256, LoadsEntriesAndLowBitsAtTheirIndices) {
  ExtendedGraphicsState state = in_modes(WriteMode::Both, 0);
  Operands pairs{};
  for (std::size_t j = 0; j < 8; ++j) pairs[2 * j + 1] = 0x0F;  // blue 15
  apply_all(state, {extended_pack(47, pairs)});
  for (std::size_t i = 248; i < 256; ++i) {
    EXPECT_EQ(state.colour_table_256[i], (Rgb{0, 0, 60})) << i;
  }
  EXPECT_EQ(state.colour_table_256[247], (Rgb{}));
  // Low bits: red from bits 5-4, green 3-2, blue 1-0; bits 7-6 ignored.
  Operands low{};
  low.fill(0xE4);  // 11 10 01 00
  apply_all(state, {extended_pack(63, low)});
  for (std::size_t i = 240; i < 248; ++i) {
    EXPECT_EQ(state.colour_table_256[i], (Rgb{2, 1, 0})) << i;
  }
  for (std::size_t i = 248; i < 256; ++i) {
    EXPECT_EQ(state.colour_table_256[i], (Rgb{2, 1, 60})) << i;
  }
  EXPECT_EQ(state.colour_table_256[239], (Rgb{}));
  // A later colour load keeps the low bits.
  apply_all(state, {extended_pack(46, {0x3C, 0x00})});
  EXPECT_EQ(state.colour_table_256[240], (Rgb{62, 1, 0}));
  // Instruction 18 loads entries 16-23.
  apply_all(state, {extended_pack(18, {0x00, 0x30})});
  EXPECT_EQ(state.colour_table_256[16], (Rgb{0, 12, 0}));
  EXPECT_EQ(state.colour_table_256[15], (Rgb{}));
}

TEST(ColourTable256, PlaneTablesLoadByWriteModeOutsideDisplayModeZero) {
  const Operands white_pairs = {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
                                0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F};
  ExtendedGraphicsState state = in_modes(WriteMode::Secondary, 2);
  apply_all(state, {extended_pack(17, white_pairs)});
  EXPECT_EQ(state.primary, GraphicsPlane{});
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(state.secondary.colour_table[i], i < 8 ? Rgb{} : white4) << i;
  }
  EXPECT_EQ(state.colour_table_256, ExtendedGraphicsState{}.colour_table_256);

  ExtendedGraphicsState nothing = in_modes(WriteMode::NoWrite, 2);
  apply_all(nothing, {extended_pack(17, white_pairs)});
  EXPECT_EQ(nothing, in_modes(WriteMode::NoWrite, 2));
  ExtendedGraphicsState beyond = in_modes(WriteMode::Both, 2);
  apply_all(beyond, {extended_pack(18, white_pairs),
                     extended_pack(48, white_pairs)});
  EXPECT_EQ(beyond, in_modes(WriteMode::Both, 2));

  // Mode-9 colour loads in display mode 1 reach both planes alike.
  ExtendedGraphicsState both = in_modes(WriteMode::Both, 1);
  apply_all(both, {graphics_pack(30, white_pairs)});
  EXPECT_EQ(both.primary.colour_table[7], white4);
  EXPECT_EQ(both.secondary.colour_table[7], white4);
  EXPECT_EQ(both.primary.colour_table[8], Rgb{});
}

TEST(SecondaryTileBlocks, DrawInDisplayModeZeroWhateverTheWriteMode) {
  const test::Patterns stripes = {0x3F, 0, 0x3F, 0, 0x3F, 0,
                                  0x3F, 0, 0x3F, 0, 0x3F, 0};
  PackBytes block = test::tile_block_pack(0, 9, 2, 3, stripes);
  block[0] = mode_extended_graphics;
  ExtendedGraphicsState state = in_modes(WriteMode::NoWrite, 0);
  apply_all(state, {block});
  EXPECT_EQ(test::pixel_colour(state.secondary.logical_tile(2, 3), 0, 0), 9u);
  EXPECT_EQ(test::pixel_colour(state.secondary.logical_tile(2, 3), 0, 1), 0u);
  EXPECT_EQ(state.primary, GraphicsPlane{});
  // Instruction 14 is the XOR form: the same block again clears it.
  block[1] = 14;
  apply_all(state, {block});
  EXPECT_EQ(state.secondary, GraphicsPlane{});

  for (const DisplayMode mode : {1, 2, 3}) {
    ExtendedGraphicsState other = in_modes(WriteMode::Both, mode);
    apply_all(other, {block});
    EXPECT_EQ(other, in_modes(WriteMode::Both, mode));
  }
}

TEST(GraphicsRouting, WriteModeChoosesPlanesInDisplayModesOneToThree) {
  const PackBytes preset = test::memory_preset_pack(4);
  GraphicsPlane filled;
  test::apply_pack(filled, preset);

  ExtendedGraphicsState none = in_modes(WriteMode::NoWrite, 3);
  apply_all(none, {preset});
  EXPECT_EQ(none, in_modes(WriteMode::NoWrite, 3));

  ExtendedGraphicsState secondary = in_modes(WriteMode::Secondary, 1);
  apply_all(secondary, {preset});
  EXPECT_EQ(secondary.primary, GraphicsPlane{});
  EXPECT_EQ(secondary.secondary, filled);

  ExtendedGraphicsState both = in_modes(WriteMode::Both, 2);
  apply_all(both, {preset});
  EXPECT_EQ(both.primary, filled);
  EXPECT_EQ(both.secondary, filled);
}

TEST(GraphicsRouting, DisplayModeZeroDrawsLowBitsAndClearsTheSecondary) {
  ExtendedGraphicsState state = in_modes(WriteMode::Both, 0);
  state.secondary.tiles[7].bytes.fill(0x3F);
  state.secondary.border_colour = 9;
  state.secondary.h_fine_offset = 4;
  apply_all(state, {test::memory_preset_pack(5), test::border_preset_pack(6)});
  GraphicsPlane primary;
  test::apply_pack(primary, test::memory_preset_pack(5));
  test::apply_pack(primary, test::border_preset_pack(6));
  EXPECT_EQ(state.primary, primary);
  EXPECT_EQ(state.secondary, GraphicsPlane{});

  // A scroll preset moves both planes; the exposed column gets the fill on
  // both, so its 256-colour index is fill * 17.
  apply_all(state, {test::scroll_preset_pack(0x0B, 0x10, 0x00)});
  EXPECT_EQ(state.primary.h_tile_offset, 49u);
  EXPECT_EQ(state.secondary.h_tile_offset, 49u);
  for (std::size_t row = 0; row < tile_rows; ++row) {
    const unsigned index =
        test::pixel_colour(state.primary.logical_tile(row, 0), 2, 3) |
        test::pixel_colour(state.secondary.logical_tile(row, 0), 2, 3) << 4;
    EXPECT_EQ(index, 0xBBu) << row;
  }
  EXPECT_TRUE(test::is_solid(state.primary.logical_tile(4, 1), 5));
  EXPECT_TRUE(test::is_solid(state.secondary.logical_tile(4, 1), 0));

  // Tile blocks draw the primary only; colour loads fill the 256 table.
  apply_all(state, {test::tile_block_pack(0, 3, 1, 1, {}),
                    graphics_pack(31, {0x3F, 0x3F})});
  EXPECT_TRUE(test::is_solid(state.primary.logical_tile(1, 1), 0));
  EXPECT_EQ(state.colour_table_256[8], (Rgb{60, 60, 60}));
  EXPECT_EQ(state.primary.colour_table, GraphicsPlane{}.colour_table);

  // Anything else, 28 and codes above 38 included, changes nothing.
  const ExtendedGraphicsState before = state;
  apply_all(state, {graphics_pack(28, {1}), graphics_pack(39, {1, 2, 3})});
  EXPECT_EQ(state, before);
}

TEST(GraphicsRouting, NoWriteInDisplayModeZeroIgnoresGraphicsPacks) {
  ExtendedGraphicsState state = in_modes(WriteMode::NoWrite, 0);
  apply_all(state, {test::memory_preset_pack(5), graphics_pack(30, {0x3F})});
  EXPECT_EQ(state, in_modes(WriteMode::NoWrite, 0));
}

TEST(GraphicsRouting, ImpossibleModeCombinationIsAFatalStop) {
  for (const WriteMode mode : {WriteMode::Primary, WriteMode::Secondary}) {
    ExtendedGraphicsState state = in_modes(mode, 0);
    try {
      apply_all(state, {test::memory_preset_pack(1)});
      ADD_FAILURE() << "no fatal stop";
    } catch (const FatalError& error) {
      EXPECT_EQ(error.report(), "write mode " + std::string(name(mode)) +
                                    " should be impossible for 256-color "
                                    "display mode");
    }
  }
}

TEST(ApplyPack, GraphicsRunIgnoresExtendedPacksAndOtherModes) {
  ExtendedGraphicsState state;
  const PackBytes control = memory_control_pack(0x0A);  // Secondary, 2
  apply_pack(state, SubcodePack(control), false);
  EXPECT_EQ(state, ExtendedGraphicsState{});
  PackBytes odd_mode = test::memory_preset_pack(3);
  for (const std::uint8_t mode : {0x00, 0x49, 0x89, 0x0B}) {
    odd_mode[0] = mode;
    apply_pack(state, SubcodePack(odd_mode), false);
    apply_pack(state, SubcodePack(odd_mode), true);
  }
  EXPECT_EQ(state, ExtendedGraphicsState{});
  const PackBytes preset = test::memory_preset_pack(3);
  apply_pack(state, SubcodePack(preset), false);
  EXPECT_TRUE(test::is_solid(state.primary.tiles[0], 3));
  EXPECT_EQ(state.secondary, GraphicsPlane{});
}

}  // namespace
}  // namespace glyphreel
