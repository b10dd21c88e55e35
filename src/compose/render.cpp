#include "compose/render.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "compose/colour_tables.hpp"
#include "compose/plane_scan.hpp"

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define GLYPHREEL_BYTE_SHUFFLES 1
#endif

namespace glyphreel {
namespace {

// The lookup tables hold RGB bytes in the low bytes of a word, and words are
// stored whole, in memory order.
static_assert(std::endian::native == std::endian::little,
              "RGB bytes are packed into words in memory order");

// A row is painted eight pixels at a time: eight indices are one word to
// read, and their 24 RGB bytes are three words to store, so that every store
// is whole and none runs past the row or the frame.
constexpr std::size_t group_pixels = 8;
constexpr std::size_t bytes_per_pixel = 3;
constexpr std::size_t group_bytes = group_pixels * bytes_per_pixel;
constexpr std::size_t row_bytes = frame_width * bytes_per_pixel;
static_assert(frame_width % group_pixels == 0);
static_assert(row_bytes * frame_height == frame_bytes);

using GroupWords = std::array<std::uint64_t, group_bytes / 8>;

std::uint64_t load_indices(const std::uint8_t* indices) {
  std::uint64_t word;
  std::memcpy(&word, indices, sizeof word);
  return word;
}

// Word by word: a single copy of all three would be read back from the stack
// wider than it was written.
void store_group(const GroupWords& words, std::uint8_t* out) {
  for (const std::uint64_t word : words) {
    std::memcpy(out, &word, sizeof word);
    out += sizeof word;
  }
}

std::uint64_t pack_rgb(const Rgb& colour) {
  return std::uint64_t{colour.red} | std::uint64_t{colour.green} << 8 |
         std::uint64_t{colour.blue} << 16;
}

// The top and bottom twelve rows show the border colour alone, so once row
// 0 is painted they are copies of it: a tenth of the frame without lookups.
// Returns whether row y was such a copy.
bool copy_border_row(RgbFrame& frame, std::size_t y) {
  if (y == 0 || (y >= frame_border && y < frame_height - frame_border)) {
    return false;
  }
  std::memcpy(frame.data() + y * row_bytes, frame.data(), row_bytes);
  return true;
}

// --- One plane: one lookup gives the six bytes of two pixels. ---

// Entry a | b << 4: the RGB bytes of colour a followed by those of colour b.
using PairTable = std::array<std::uint64_t, colour_count * colour_count>;

PairTable make_pair_table(const ColourTable& rgb) {
  PairTable table;
  for (std::size_t a = 0; a < colour_count; ++a) {
    for (std::size_t b = 0; b < colour_count; ++b) {
      table[a | b << 4] = pack_rgb(rgb[a]) | pack_rgb(rgb[b]) << 24;
    }
  }
  return table;
}

void paint_row(PlaneScan::Row row, const PairTable& table, std::uint8_t* out) {
  for (std::size_t x = 0; x < frame_width; x += group_pixels) {
    // Byte 2n of `pairs` holds index 2n in its low and index 2n + 1 in its
    // high four bits; the odd bytes are not used.
    const std::uint64_t indices = load_indices(row.data() + x);
    const std::uint64_t pairs = indices | indices >> 4;
    const auto pair = [&](int n) { return table[pairs >> (16 * n) & 0xFF]; };
    const std::uint64_t q0 = pair(0), q1 = pair(1), q2 = pair(2), q3 = pair(3);
    store_group({q0 | q1 << 48, q1 >> 16 | q2 << 32, q2 >> 32 | q3 << 16}, out);
    out += group_bytes;
  }
}

// --- One plane with byte shuffles: sixteen pixels per lookup. ---

// A plane's sixteen levels of each channel, one vector apiece.
struct ChannelLevels {
  std::array<std::uint8_t, colour_count> red;
  std::array<std::uint8_t, colour_count> green;
  std::array<std::uint8_t, colour_count> blue;
};

ChannelLevels channel_levels(const ColourTable& rgb) {
  ChannelLevels levels;
  for (std::size_t n = 0; n < colour_count; ++n) {
    levels.red[n] = rgb[n].red;
    levels.green[n] = rgb[n].green;
    levels.blue[n] = rgb[n].blue;
  }
  return levels;
}

#ifdef GLYPHREEL_BYTE_SHUFFLES

constexpr std::size_t shuffle_pixels = 16;
static_assert(frame_width % shuffle_pixels != 0 && frame_width > shuffle_pixels,
              "the last group of a row overlaps the one before");

// Byte 16 v + i of the 48 that a group of sixteen pixels gives is channel
// (16 v + i) mod 3 of pixel (16 v + i) / 3. Entry [v][c] is the shuffle that
// moves channel c's levels to their places in vector v, zero (-128) where
// the other channels go.
using ChannelSpread = std::array<std::array<std::array<std::int8_t, 16>, 3>, 3>;

constexpr ChannelSpread make_channel_spread() {
  constexpr std::int8_t zero_byte = -128;  // the high bit set
  ChannelSpread spread{};
  for (std::size_t v = 0; v < 3; ++v) {
    for (std::size_t c = 0; c < 3; ++c) {
      for (std::size_t i = 0; i < 16; ++i) {
        const std::size_t byte = 16 * v + i;
        spread[v][c][i] =
            byte % 3 == c ? static_cast<std::int8_t>(byte / 3) : zero_byte;
      }
    }
  }
  return spread;
}

constexpr ChannelSpread channel_spread = make_channel_spread();
static_assert(channel_spread[0][0][15] == 5 && channel_spread[1][1][0] == 5);
static_assert(channel_spread[2][2][15] == 15 && channel_spread[2][0][15] < 0);

__attribute__((target("ssse3"))) __m128i load_vector(const void* bytes) {
  return _mm_loadu_si128(static_cast<const __m128i*>(bytes));
}

// The indices select each channel's level with one shuffle per channel; three
// more per output vector interleave the channels. A row of 312 pixels is 19
// groups and a last one that overlaps the 19th by half, painting its pixels
// again the same.
__attribute__((target("ssse3"))) void paint_row_shuffled(
    PlaneScan::Row row, const ChannelLevels& levels, std::uint8_t* out) {
  const __m128i red_levels = load_vector(levels.red.data());
  const __m128i green_levels = load_vector(levels.green.data());
  const __m128i blue_levels = load_vector(levels.blue.data());
  for (std::size_t x = 0; x < frame_width; x += shuffle_pixels) {
    const std::size_t first = std::min(x, frame_width - shuffle_pixels);
    const __m128i indices = load_vector(row.data() + first);
    const __m128i red = _mm_shuffle_epi8(red_levels, indices);
    const __m128i green = _mm_shuffle_epi8(green_levels, indices);
    const __m128i blue = _mm_shuffle_epi8(blue_levels, indices);
    std::uint8_t* group = out + first * bytes_per_pixel;
    for (std::size_t v = 0; v < 3; ++v) {
      const __m128i bytes = _mm_or_si128(
          _mm_or_si128(
              _mm_shuffle_epi8(red, load_vector(channel_spread[v][0].data())),
              _mm_shuffle_epi8(green,
                               load_vector(channel_spread[v][1].data()))),
          _mm_shuffle_epi8(blue, load_vector(channel_spread[v][2].data())));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(group + 16 * v), bytes);
    }
  }
}

// Shuffles only where the processor has them.
RowPaint usable(RowPaint paint) {
  static const bool has_shuffles = __builtin_cpu_supports("ssse3") != 0;
  return has_shuffles ? paint : RowPaint::Pairs;
}

#else

RowPaint usable(RowPaint) { return RowPaint::Pairs; }

void paint_row_shuffled(PlaneScan::Row, const ChannelLevels&, std::uint8_t*) {}

#endif

// --- Two planes: one 8-bit index and one lookup per pixel. ---

// Entry n: the RGB bytes of colour n.
using PackedRgbTable = std::array<std::uint32_t, colour_count * colour_count>;

PackedRgbTable pack_table(const RgbTable256& rgb) {
  PackedRgbTable table;
  for (std::size_t n = 0; n < table.size(); ++n) {
    table[n] = static_cast<std::uint32_t>(pack_rgb(rgb[n]));
  }
  return table;
}

// Paints the pixels whose index takes its low four bits from `low` and its
// high four from `high`.
void paint_row(PlaneScan::Row low, PlaneScan::Row high,
               const PackedRgbTable& table, std::uint8_t* out) {
  for (std::size_t x = 0; x < frame_width; x += group_pixels) {
    const std::uint64_t indices =
        load_indices(low.data() + x) | load_indices(high.data() + x) << 4;
    const auto colour = [&](int n) -> std::uint64_t {
      return table[indices >> (8 * n) & 0xFF];
    };
    const std::uint64_t c0 = colour(0), c1 = colour(1), c2 = colour(2),
                        c3 = colour(3), c4 = colour(4), c5 = colour(5),
                        c6 = colour(6), c7 = colour(7);
    store_group(
        {c0 | c1 << 24 | c2 << 48, c2 >> 16 | c3 << 8 | c4 << 32 | c5 << 56,
         c5 >> 8 | c6 << 16 | c7 << 40},
        out);
    out += group_bytes;
  }
}

// Walks both planes side by side, each with its own border colour and
// offsets; both scans finish together.
RgbFrame render_two_planes(const GraphicsPlane& low_plane,
                           const GraphicsPlane& high_plane,
                           const PackedRgbTable& table) {
  RgbFrame frame;
  std::uint8_t* out = frame.data();
  PlaneScan low_scan(low_plane);
  PlaneScan high_scan(high_plane);
  for (std::size_t y = 0;; ++y, out += row_bytes) {
    const auto low = low_scan.next_row();
    const auto high = high_scan.next_row();
    if (!low || !high) break;
    if (!copy_border_row(frame, y)) paint_row(*low, *high, table, out);
  }
  return frame;
}

}  // namespace

RgbFrame render_plane(const GraphicsPlane& plane, RowPaint paint) {
  const ColourTable rgb = rgb_table_16(plane.colour_table);
  const RowPaint method = usable(paint);
  // Only the table that the chosen paint reads is filled.
  PairTable pairs;
  ChannelLevels levels;
  switch (method) {
    case RowPaint::Pairs:
      pairs = make_pair_table(rgb);
      break;
    case RowPaint::Shuffles:
      levels = channel_levels(rgb);
      break;
  }
  RgbFrame frame;
  std::uint8_t* out = frame.data();
  PlaneScan scan(plane);
  for (std::size_t y = 0; const auto row = scan.next_row(); ++y) {
    if (!copy_border_row(frame, y)) {
      if (method == RowPaint::Shuffles) {
        paint_row_shuffled(*row, levels, out);
      } else {
        paint_row(*row, pairs, out);
      }
    }
    out += row_bytes;
  }
  return frame;
}

RgbFrame render_mixed(const GraphicsPlane& primary,
                      const GraphicsPlane& secondary) {
  // Mix entry p * 16 + s is the 8-bit index s | p << 4: the secondary plane
  // gives the low four bits and the primary the high four.
  return render_two_planes(
      secondary, primary,
      pack_table(mix_table(primary.colour_table, secondary.colour_table)));
}

RgbFrame render_256_colour(const GraphicsPlane& primary,
                           const GraphicsPlane& secondary,
                           const std::array<Rgb, 256>& rgb_table_256) {
  return render_two_planes(primary, secondary, pack_table(rgb_table_256));
}

}  // namespace glyphreel
