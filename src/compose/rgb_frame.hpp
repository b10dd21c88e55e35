// One output frame: 312 x 216 pixels of red, green, blue bytes, rows top to
// bottom, no header. The plane's 288 x 192 window sits inside a 12-pixel
// border on all four sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace glyphreel {

inline constexpr std::size_t frame_width = 312;
inline constexpr std::size_t frame_height = 216;
inline constexpr std::size_t frame_border = 12;
inline constexpr std::size_t window_width = frame_width - 2 * frame_border;
inline constexpr std::size_t window_height = frame_height - 2 * frame_border;
inline constexpr std::size_t frame_pixels = frame_width * frame_height;
inline constexpr std::size_t frame_bytes = frame_pixels * 3;

static_assert(window_width == 288 && window_height == 192);
static_assert(frame_pixels == 67392);
static_assert(frame_bytes == 202176);

// A buffer obtained once at its final size and filled front to back by the
// composer; it is not cleared first, as every byte gets written.
class RgbFrame {
 public:
  RgbFrame()
      : bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(frame_bytes)) {}

  std::uint8_t* data() { return bytes_.get(); }
  std::span<std::uint8_t, frame_bytes> bytes() {
    return std::span<std::uint8_t, frame_bytes>(bytes_.get(), frame_bytes);
  }
  std::span<const std::uint8_t, frame_bytes> bytes() const {
    return std::span<const std::uint8_t, frame_bytes>(bytes_.get(),
                                                      frame_bytes);
  }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
};

}  // namespace glyphreel
