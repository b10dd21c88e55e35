#include "plane/colour_table.hpp"

#include <gtest/gtest.h>

#include "base/fatal_error.hpp"
#include "plane/pack_builders.hpp"

namespace glyphreel::test {
namespace {

TEST(ColourTable, DecodesFourBitChannelsFromAPair) {
  EXPECT_EQ(decode_colour(0x3F, 0x3F), (Rgb{15, 15, 15}));
  EXPECT_EQ(decode_colour(0x00, 0x00), (Rgb{0, 0, 0}));
  EXPECT_EQ(decode_colour(0xC0, 0xC0), (Rgb{0, 0, 0}));
  EXPECT_EQ(decode_colour(0x3C, 0x00), (Rgb{15, 0, 0}));
  EXPECT_EQ(decode_colour(0x03, 0x30), (Rgb{0, 15, 0}));
  EXPECT_EQ(decode_colour(0x00, 0x0F), (Rgb{0, 0, 15}));
  EXPECT_EQ(decode_colour(0x01, 0x00), (Rgb{0, 4, 0}));
  EXPECT_EQ(decode_colour(0x00, 0x10), (Rgb{0, 1, 0}));
  EXPECT_EQ(decode_colour(0x16, 0x25), (Rgb{5, 10, 5}));  // 0101 1010 0101
}

TEST(ColourTable, LoadsOneHalfAndLeavesTheRest) {
  // Entry i of the half becomes grey i + 1 (hi = --RRRRGG, lo = --GGBBBB).
  Operands greys{};
  for (std::uint8_t i = 0; i < 8; ++i) {
    const std::uint8_t v = i + 1;
    greys[2 * i] = static_cast<std::uint8_t>((v << 2) | (v >> 2));
    greys[2 * i + 1] = static_cast<std::uint8_t>(((v & 3) << 4) | v);
  }
  GraphicsPlane plane;
  apply_pack(plane, memory_preset_pack(3));
  plane.border_colour = 3;
  for (Rgb& entry : plane.colour_table) entry = Rgb{15, 0, 15};
  const GraphicsPlane before = plane;

  apply_pack(plane, load_colour_table_pack(false, greys));
  for (std::uint8_t i = 0; i < 16; ++i) {
    const std::uint8_t v = i + 1;
    EXPECT_EQ(plane.colour_table[i], (i < 8 ? Rgb{v, v, v} : Rgb{15, 0, 15}));
  }
  apply_pack(plane, load_colour_table_pack(true, greys));
  for (std::uint8_t i = 0; i < 16; ++i) {
    const std::uint8_t v = (i % 8) + 1;
    EXPECT_EQ(plane.colour_table[i], (Rgb{v, v, v}));
  }
  // Only the table changes; pixels and border pick up colour 3 on their own.
  plane.colour_table = before.colour_table;
  EXPECT_EQ(plane, before);
}

TEST(ColourTable, RefusesAStartOutsideTheTwoHalves) {
  GraphicsPlane plane;
  const PackBytes pack = load_colour_table_pack(false, {0x3F, 0x3F});
  for (std::size_t start : {1, 4, 7, 16}) {
    try {
      load_colour_table(plane, view(pack), start);
      ADD_FAILURE() << "start " << start << " accepted";
    } catch (const FatalError& error) {
      EXPECT_EQ(error.report(),
                "assertion failed: load_start_index == 0 || "
                "load_start_index == 8");
    }
    EXPECT_EQ(plane, GraphicsPlane{});
  }
}

}  // namespace
}  // namespace glyphreel::test
