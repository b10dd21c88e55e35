// One graphics memory of the decoder: 18 x 50 tiles of 6 x 12 pixels, each
// pixel a 4-bit index into the plane's own 16-entry colour table, with a
// border colour and the scroll state. A plain value: copy and compare freely.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace glyphreel {

inline constexpr std::size_t tile_width = 6;    // pixels
inline constexpr std::size_t tile_height = 12;  // pixels
inline constexpr std::size_t tile_rows = 18;
inline constexpr std::size_t tile_columns = 50;
inline constexpr std::size_t bit_planes = 4;
// Four bit-planes of 12 row bytes; bits 5..0 of a row byte are pixels 0..5.
inline constexpr std::size_t tile_size = bit_planes * tile_height;
inline constexpr std::size_t tile_row_size = tile_columns * tile_size;
inline constexpr std::size_t plane_width = tile_columns * tile_width;  // 300
inline constexpr std::size_t plane_height = tile_rows * tile_height;   // 216
inline constexpr std::size_t channel_count = 16;
inline constexpr std::size_t colour_count = 16;
inline constexpr std::uint8_t row_mask = 0x3F;  // the six pixels of a row byte
inline constexpr std::uint64_t max_h_fine_offset = 5;
inline constexpr std::uint64_t max_v_fine_offset = 11;

static_assert(tile_size == 48);
static_assert(tile_row_size == 2400);
static_assert(tile_rows * tile_row_size == 43200);

struct Tile {
  // Byte 12*k + y: bit-plane k, pixel row y.
  std::array<std::uint8_t, tile_size> bytes{};
  bool operator==(const Tile&) const = default;
};

// One colour: red, green, blue. A plane's colour table holds 4-bit
// intensities, the 256-colour tables 6-bit and 8-bit ones.
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

struct GraphicsPlane {
  // Tile blocks draw only on channels whose flag is exactly 1; channels 0
  // and 1 are on from creation and the flags never change.
  std::array<std::uint8_t, channel_count> channel_enabled{1, 1};
  // Physical order: row r, column c at index r * 50 + c.
  std::array<Tile, tile_rows * tile_columns> tiles{};
  std::uint64_t border_colour = 0;  // 0 ... 15
  std::uint64_t h_fine_offset = 0;  // 0 ... 5
  std::uint64_t v_fine_offset = 0;  // 0 ... 11
  std::uint64_t h_tile_offset = 0;  // 0 ... 49
  std::uint64_t v_tile_offset = 0;  // 0 ... 17
  std::array<Rgb, colour_count> colour_table{};

  bool operator==(const GraphicsPlane&) const = default;

  // Logical tile (row, col) is stored at the physical tile rotated by the
  // tile offsets; scrolling moves the offsets, never the pixels.
  Tile& logical_tile(std::size_t row, std::size_t col) {
    return tiles[physical_index(row, col)];
  }
  const Tile& logical_tile(std::size_t row, std::size_t col) const {
    return tiles[physical_index(row, col)];
  }
  std::size_t physical_index(std::size_t row, std::size_t col) const {
    return ((row + v_tile_offset) % tile_rows) * tile_columns +
           (col + h_tile_offset) % tile_columns;
  }
};

}  // namespace glyphreel
