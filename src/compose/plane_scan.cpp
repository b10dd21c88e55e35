#include "compose/plane_scan.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace glyphreel {
namespace {

// A tile row is expanded into one 64-bit word whose bytes, in memory order,
// are the colour indices of its six pixels from left to right.
static_assert(std::endian::native == std::endian::little,
              "tile rows are expanded into bytes in memory order");

// Table k spreads the row byte b of bit-plane k over six byte lanes: lane x
// holds, as its bit k, bit 5 - x of b, the bit of pixel x. Bits 6 and 7 of b
// play no part, so any byte can index the table unmasked.
using PixelLanes = std::array<std::array<std::uint64_t, 256>, bit_planes>;

constexpr PixelLanes make_pixel_lanes() {
  PixelLanes lanes{};
  for (std::size_t k = 0; k < bit_planes; ++k) {
    for (std::uint64_t b = 0; b < 256; ++b) {
      for (std::uint64_t x = 0; x < tile_width; ++x) {
        lanes[k][b] |= ((b >> (tile_width - 1 - x)) & 1) << (8 * x + k);
      }
    }
  }
  return lanes;
}

constexpr PixelLanes pixel_lanes = make_pixel_lanes();
static_assert(pixel_lanes[0][0x00] == 0);
static_assert(pixel_lanes[0][0x20] == 0x01);                   // pixel 0
static_assert(pixel_lanes[0][0x01] == 0x0000'0100'0000'0000);  // pixel 5
static_assert(pixel_lanes[0][0x15] == 0x0000'0100'0100'0100);  // 1, 3, 5
static_assert(pixel_lanes[3][0x3F] == 0x0000'0808'0808'0808);
static_assert(pixel_lanes[2][0xC0] == 0);
static_assert(pixel_lanes[1][0xEA] == pixel_lanes[1][0x2A]);

// The six colour indices of pixel row y of a tile, bit-plane k giving bit k
// of each.
std::uint64_t tile_row_indices(const Tile& tile, std::size_t y) {
  const auto plane_bits = [&](std::size_t k) {
    return pixel_lanes[k][tile.bytes[tile_height * k + y]];
  };
  return plane_bits(0) | plane_bits(1) | plane_bits(2) | plane_bits(3);
}

// Writes pixel row y of `count` consecutive tiles, six indices per tile. Each
// tile is stored as a whole word, so the two bytes after the last tile's six
// are overwritten as well.
std::uint8_t* expand_tiles(const Tile* first, std::size_t count, std::size_t y,
                           std::uint8_t* out) {
  for (std::size_t n = 0; n < count; ++n, out += tile_width) {
    const std::uint64_t indices = tile_row_indices(first[n], y);
    std::memcpy(out, &indices, sizeof indices);
  }
  return out;
}

// Whole tiles are expanded from the start tile column on, placed so that
// pixel column g0 of the first lands on the window's first column. 49 tiles
// cover the 288 window pixels for every g0 up to 5; what they spill to the
// left (up to 5 indices) and to the right (up to 6, plus the two bytes of
// the last word) falls inside the border strips, which are painted after.
constexpr std::size_t tiles_per_window_row = 49;
static_assert(tiles_per_window_row * tile_width >=
              max_h_fine_offset + window_width);
static_assert(frame_border >= max_h_fine_offset);
static_assert(frame_border + tiles_per_window_row * tile_width + 2 <=
              frame_width);
static_assert(tiles_per_window_row <= tile_columns);

}  // namespace

PlaneScan::PlaneScan(const GraphicsPlane& plane)
    : plane_(&plane),
      start_tile_column_((plane.h_tile_offset + 1) % tile_columns),
      start_pixel_column_(plane.h_fine_offset),
      tile_row_((plane.v_tile_offset + 1) % tile_rows),
      pixel_row_(plane.v_fine_offset) {
  assert(plane.h_fine_offset <= max_h_fine_offset);
  assert(plane.v_fine_offset <= max_v_fine_offset);
  // Masked so that every index stays a 4-bit colour whatever the field holds.
  border_row_.fill(static_cast<std::uint8_t>(plane.border_colour & 0x0F));
}

bool PlaneScan::finished() const {
  return top_rows_left_ == 0 && window_rows_left_ == 0 &&
         bottom_rows_left_ == 0;
}

std::optional<PlaneScan::Row> PlaneScan::next_row() {
  if (top_rows_left_ > 0) {
    --top_rows_left_;
    return Row(border_row_);
  }
  if (window_rows_left_ > 0) {
    --window_rows_left_;
    fill_window_row();
    advance_window_row();
    return Row(window_row_);
  }
  if (bottom_rows_left_ > 0) {
    --bottom_rows_left_;
    return Row(border_row_);
  }
  return std::nullopt;
}

void PlaneScan::fill_window_row() {
  const Tile* tile_row = &plane_->tiles[tile_row_ * tile_columns];
  std::uint8_t* out = window_row_.data() + frame_border - start_pixel_column_;
  // The tile columns run from the start column to 49, then on from 0.
  const std::size_t before_wrap =
      std::min(tiles_per_window_row, tile_columns - start_tile_column_);
  out =
      expand_tiles(tile_row + start_tile_column_, before_wrap, pixel_row_, out);
  expand_tiles(tile_row, tiles_per_window_row - before_wrap, pixel_row_, out);

  const std::uint8_t border = border_row_[0];
  std::fill_n(window_row_.begin(), frame_border, border);
  std::fill_n(window_row_.end() - frame_border, frame_border, border);
}

void PlaneScan::advance_window_row() {
  if (++pixel_row_ < tile_height) return;
  pixel_row_ = 0;
  if (++tile_row_ == tile_rows) tile_row_ = 0;
}

}  // namespace glyphreel
