// Frames per second of the three pictures, on busy planes: every tile random,
// all offsets away from zero, so that rows wrap and start mid-tile.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>

#include "compose/plane_scan.hpp"
#include "compose/render.hpp"
#include "plane/graphics_plane.hpp"

namespace glyphreel {
namespace {

std::unique_ptr<GraphicsPlane> busy_plane(std::uint32_t seed,
                                          std::uint64_t h_tile_offset,
                                          std::uint64_t v_tile_offset,
                                          std::uint64_t h_fine_offset,
                                          std::uint64_t v_fine_offset) {
  std::mt19937 random(seed);
  auto plane = std::make_unique<GraphicsPlane>();
  for (Tile& tile : plane->tiles) {
    for (std::uint8_t& byte : tile.bytes) byte = random() & row_mask;
  }
  for (Rgb& colour : plane->colour_table) {
    colour = {static_cast<std::uint8_t>(random() & 0x0F),
              static_cast<std::uint8_t>(random() & 0x0F),
              static_cast<std::uint8_t>(random() & 0x0F)};
  }
  plane->border_colour = random() & 0x0F;
  plane->h_tile_offset = h_tile_offset;
  plane->v_tile_offset = v_tile_offset;
  plane->h_fine_offset = h_fine_offset;
  plane->v_fine_offset = v_fine_offset;
  return plane;
}

void count_frames(benchmark::State& state) {
  state.counters["frames_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The walk alone, without the colour lookups, to show how a frame's time
// divides between the two.
void BM_PlaneScan(benchmark::State& state) {
  const auto plane = busy_plane(1, 23, 9, 3, 7);
  for (auto _ : state) {
    PlaneScan scan(*plane);
    while (const auto row = scan.next_row()) {
      benchmark::DoNotOptimize(row->data());
    }
  }
  count_frames(state);
}
BENCHMARK(BM_PlaneScan);

void BM_RenderPlane(benchmark::State& state, RowPaint paint) {
  const auto plane = busy_plane(1, 23, 9, 3, 7);
  for (auto _ : state) {
    RgbFrame frame = render_plane(*plane, paint);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  count_frames(state);
}
BENCHMARK_CAPTURE(BM_RenderPlane, pairs, RowPaint::Pairs);
BENCHMARK_CAPTURE(BM_RenderPlane, shuffles, RowPaint::Shuffles);

void BM_RenderMixed(benchmark::State& state) {
  const auto primary = busy_plane(2, 23, 9, 3, 7);
  const auto secondary = busy_plane(3, 41, 13, 5, 2);
  for (auto _ : state) {
    RgbFrame frame = render_mixed(*primary, *secondary);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  count_frames(state);
}
BENCHMARK(BM_RenderMixed);

void BM_Render256Colour(benchmark::State& state) {
  const auto primary = busy_plane(4, 23, 9, 3, 7);
  const auto secondary = busy_plane(5, 41, 13, 5, 2);
  std::mt19937 random(6);
  std::array<Rgb, 256> rgb_table_256;
  for (Rgb& colour : rgb_table_256) {
    colour = {static_cast<std::uint8_t>(random()),
              static_cast<std::uint8_t>(random()),
              static_cast<std::uint8_t>(random())};
  }
  for (auto _ : state) {
    RgbFrame frame = render_256_colour(*primary, *secondary, rgb_table_256);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  count_frames(state);
}
BENCHMARK(BM_Render256Colour);

}  // namespace
}  // namespace glyphreel
