// A slow, plain per-pixel model of the composer for the tests to hold the
// row-at-a-time renderer against, and helpers to build and read planes and
// frames.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "compose/plane_scan.hpp"
#include "compose/rgb_frame.hpp"
#include "plane/graphics_plane.hpp"

namespace glyphreel::testing {

// Pixel (x, y) of a tile: bit k of its colour index is bit 5 - x of byte
// 12 k + y.
inline std::uint8_t tile_pixel(const Tile& tile, std::size_t x, std::size_t y) {
  std::uint8_t index = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    index |= ((tile.bytes[12 * k + y] >> (5 - x)) & 1) << k;
  }
  return index;
}

inline void set_tile_pixel(Tile& tile, std::size_t x, std::size_t y,
                           std::uint8_t index) {
  for (std::size_t k = 0; k < 4; ++k) {
    std::uint8_t& byte = tile.bytes[12 * k + y];
    byte = static_cast<std::uint8_t>(byte & ~(1u << (5 - x)));
    byte = static_cast<std::uint8_t>(byte | ((index >> k) & 1) << (5 - x));
  }
}

// Sets logical pixel (x, y) of the 300 x 216 picture, through the plane's
// current tile offsets.
inline void set_logical_pixel(GraphicsPlane& plane, std::size_t x,
                              std::size_t y, std::uint8_t index) {
  set_tile_pixel(plane.logical_tile(y / 12, x / 6), x % 6, y % 12, index);
}

inline void fill_plane(GraphicsPlane& plane, std::uint8_t index) {
  for (Tile& tile : plane.tiles) {
    for (std::size_t y = 0; y < 12; ++y) {
      for (std::size_t x = 0; x < 6; ++x) set_tile_pixel(tile, x, y, index);
    }
  }
}

// The colour index that frame pixel (x, y) shows: the border colour outside
// the window; inside, window pixel (i, j) reads the stored pixel at physical
// column (6 c0 + g0 + i) mod 300, row (12 r0 + p0 + j) mod 216.
inline std::uint8_t reference_index(const GraphicsPlane& plane, std::size_t x,
                                    std::size_t y) {
  if (x < 12 || x >= 300 || y < 12 || y >= 204) {
    return static_cast<std::uint8_t>(plane.border_colour);
  }
  const std::size_t c0 = (plane.h_tile_offset + 1) % 50;
  const std::size_t r0 = (plane.v_tile_offset + 1) % 18;
  const std::size_t column = (6 * c0 + plane.h_fine_offset + (x - 12)) % 300;
  const std::size_t row = (12 * r0 + plane.v_fine_offset + (y - 12)) % 216;
  const Tile& tile = plane.tiles[(row / 12) * 50 + column / 6];
  return tile_pixel(tile, column % 6, row % 12);
}

// A plane with every byte, colour and offset drawn at random within range.
inline GraphicsPlane random_plane(std::mt19937& random) {
  GraphicsPlane plane;
  for (Tile& tile : plane.tiles) {
    for (std::uint8_t& byte : tile.bytes) byte = random() & 0x3F;
  }
  for (Rgb& colour : plane.colour_table) {
    colour = {static_cast<std::uint8_t>(random() % 16),
              static_cast<std::uint8_t>(random() % 16),
              static_cast<std::uint8_t>(random() % 16)};
  }
  plane.border_colour = random() % 16;
  plane.h_fine_offset = random() % 6;
  plane.v_fine_offset = random() % 12;
  plane.h_tile_offset = random() % 50;
  plane.v_tile_offset = random() % 18;
  return plane;
}

// Every index of a scan, frame row after frame row.
inline std::vector<std::uint8_t> scan_indices(const GraphicsPlane& plane) {
  std::vector<std::uint8_t> indices;
  PlaneScan scan(plane);
  while (const auto row = scan.next_row()) {
    indices.insert(indices.end(), row->begin(), row->end());
  }
  return indices;
}

inline Rgb frame_pixel(const RgbFrame& frame, std::size_t x, std::size_t y) {
  const std::uint8_t* bytes = frame.bytes().data() + (y * 312 + x) * 3;
  return {bytes[0], bytes[1], bytes[2]};
}

inline bool in_window(std::size_t x, std::size_t y) {
  return x >= 12 && x < 300 && y >= 12 && y < 204;
}

// Holds every frame pixel actual(x, y) against expected(x, y) and names the
// first that differs.
template <typename Actual, typename Expected>
::testing::AssertionResult every_pixel_is(const Actual& actual,
                                          const Expected& expected) {
  for (std::size_t y = 0; y < 216; ++y) {
    for (std::size_t x = 0; x < 312; ++x) {
      if (!(actual(x, y) == expected(x, y))) {
        return ::testing::AssertionFailure() << "at (" << x << ", " << y << ")";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// expected(x, y) gives the colour index of frame pixel (x, y).
template <typename Expected>
::testing::AssertionResult scan_shows(const GraphicsPlane& plane,
                                      const Expected& expected) {
  const std::vector<std::uint8_t> indices = scan_indices(plane);
  if (indices.size() != 67392) {
    return ::testing::AssertionFailure() << indices.size() << " indices";
  }
  const auto actual = [&](std::size_t x, std::size_t y) {
    return indices[y * 312 + x];
  };
  return every_pixel_is(actual, expected);
}

// expected(x, y) gives the Rgb of frame pixel (x, y).
template <typename Expected>
::testing::AssertionResult frame_shows(const RgbFrame& frame,
                                       const Expected& expected) {
  const auto actual = [&](std::size_t x, std::size_t y) {
    return frame_pixel(frame, x, y);
  };
  return every_pixel_is(actual, expected);
}

}  // namespace glyphreel::testing
