// Decoding speed on a karaoke-like disc: packs applied per second, and disc
// seconds decoded per CPU second by the whole loop, frames included, into a
// sink that discards them, with the frames written and those of them that
// had to be composed. The same loop also runs over a stream in which
// every pack redraws a visible tile, so that no frame equals the one before.
#include <benchmark/benchmark.h>

#include <memory>

#include "disc/toc.hpp"
#include "packs/pack_loop.hpp"
#include "sample_disc/disc.hpp"

namespace glyphreel {
namespace {

constexpr double long_disc_seconds = 240;
constexpr double packs_per_second_of_disc = 300;

const sample_disc::SampleDisc& karaoke_disc() {
  static const sample_disc::SampleDisc disc =
      sample_disc::make_long_disc(long_disc_seconds);
  return disc;
}

// As long as the karaoke disc: sixteen distinct colours, then on every
// pack an XOR tile block of a non-zero colour on the next tile of the
// visible window, so that every pack changes the picture.
const std::vector<std::uint8_t>& changing_stream() {
  static const std::vector<std::uint8_t> stream = [] {
    constexpr std::size_t packs =
        static_cast<std::size_t>(long_disc_seconds * packs_per_second_of_disc);
    constexpr std::size_t visible_rows = 16;
    constexpr std::size_t visible_columns = 48;
    std::vector<std::uint8_t> bytes(packs * pack_size);
    for (std::size_t i = 0; i < packs; ++i) {
      std::uint8_t* pack = &bytes[i * pack_size];
      std::uint8_t* data = pack + 4;
      pack[0] = mode_graphics;
      if (i < 2) {
        pack[1] = i == 0 ? 30 : 31;  // load colour table low, high
        for (std::size_t j = 0; j < 8; ++j) {
          const std::size_t n = 8 * i + j;  // red n, green 15 - n, blue 7n
          const std::size_t green = 15 - n;
          data[2 * j] = static_cast<std::uint8_t>(n << 2 | green >> 2);
          data[2 * j + 1] =
              static_cast<std::uint8_t>((green & 3) << 4 | (7 * n) % 16);
        }
        continue;
      }
      pack[1] = 38;                                     // tile block XOR
      data[1] = static_cast<std::uint8_t>(1 + i % 15);  // colour 1
      data[2] =
          static_cast<std::uint8_t>(1 + i / visible_columns % visible_rows);
      data[3] = static_cast<std::uint8_t>(1 + i % visible_columns);
      for (std::size_t y = 0; y < 12; ++y) data[4 + y] = 0x3F;
    }
    return bytes;
  }();
  return stream;
}

class DiscardingSink : public FrameSink {
 public:
  void write_frame(const RgbFrame& frame) override {
    benchmark::DoNotOptimize(frame.bytes().data());
  }
};

void apply_packs(benchmark::State& state, bool extended_graphics) {
  const std::vector<std::uint8_t>& cdg = karaoke_disc().cdg;
  auto graphics = std::make_unique<ExtendedGraphicsState>();
  std::size_t packs = 0;
  for (auto _ : state) {
    for (std::size_t at = 0; at + pack_size <= cdg.size(); at += pack_size) {
      const SubcodePack pack(
          std::span<const std::uint8_t, pack_size>(&cdg[at], pack_size));
      apply_pack(*graphics, pack, extended_graphics);
    }
    benchmark::DoNotOptimize(graphics->primary.tiles[0]);
    packs += cdg.size() / pack_size;
  }
  state.counters["packs_per_second"] = benchmark::Counter(
      static_cast<double>(packs), benchmark::Counter::kIsRate);
}

void decode(benchmark::State& state, const std::vector<std::uint8_t>& cdg,
            bool extended_graphics) {
  const double disc_seconds =
      static_cast<double>(cdg.size() / pack_size) / packs_per_second_of_disc;
  double decoded = 0;
  FrameCounts frames;
  for (auto _ : state) {
    DiscardingSink sink;
    frames = run_pack_loop(cdg, extended_graphics, sink);
    decoded += disc_seconds;
  }
  state.counters["disc_seconds_per_second"] =
      benchmark::Counter(decoded, benchmark::Counter::kIsRate);
  // Of one pass over the stream.
  state.counters["frames_written"] = static_cast<double>(frames.written);
  state.counters["frames_composed"] = static_cast<double>(frames.composed);
}

void decode_disc(benchmark::State& state, bool extended_graphics) {
  decode(state, karaoke_disc().cdg, extended_graphics);
}

void decode_changing(benchmark::State& state, bool extended_graphics) {
  decode(state, changing_stream(), extended_graphics);
}

BENCHMARK_CAPTURE(apply_packs, cdg, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(apply_packs, cdeg, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode_disc, cdg, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode_disc, cdeg, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode_changing, cdg, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode_changing, cdeg, true)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glyphreel
