// The walk over one plane in frame order, yielding the colour index (0 ... 15)
// of every frame pixel: 3744 border pixels (12 rows of 312), then 192 window
// rows of 12 border pixels, 288 window pixels and 12 border pixels, then 3744
// border pixels again -- 67392 indices in all, handed out one frame row of
// 312 at a time.
//
// Window pixel (i, j) shows the stored pixel in physical column
// (6 c0 + g0 + i) mod 300 and physical row (12 r0 + p0 + j) mod 216, where
// c0 = (h_tile_offset + 1) mod 50, g0 = h_fine_offset,
// r0 = (v_tile_offset + 1) mod 18 and p0 = v_fine_offset: the window starts
// at logical pixel (6 + h_fine_offset, 12 + v_fine_offset), so logical tile
// column 0 and row 0 are never shown. The border pixels carry the plane's
// border colour as it was when the scan was created.
//
// The scan borrows the plane, which must outlive it and stay unchanged while
// it runs; the fine offsets must lie within 0 ... 5 and 0 ... 11.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "compose/rgb_frame.hpp"
#include "plane/graphics_plane.hpp"

namespace glyphreel {

class PlaneScan {
 public:
  using Row = std::span<const std::uint8_t, frame_width>;

  explicit PlaneScan(const GraphicsPlane& plane);

  // The colour indices of the next frame row, left to right, valid until the
  // next call. After the 216th row the scan is finished and gives nothing,
  // however often it is asked again.
  std::optional<Row> next_row();

  bool finished() const;

 private:
  void fill_window_row();
  void advance_window_row();

  const GraphicsPlane* plane_;
  std::size_t top_rows_left_ = frame_border;
  std::size_t window_rows_left_ = window_height;
  std::size_t bottom_rows_left_ = frame_border;
  // Where every window row begins.
  std::size_t start_tile_column_;
  std::size_t start_pixel_column_;
  // Where the next window row lies.
  std::size_t tile_row_;
  std::size_t pixel_row_;
  std::array<std::uint8_t, frame_width> border_row_;
  std::array<std::uint8_t, frame_width> window_row_;
};

}  // namespace glyphreel
