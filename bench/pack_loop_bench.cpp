// Decoding speed on a karaoke-like disc: packs applied per second, and disc
// seconds decoded per wall-clock second by the whole loop, frames included,
// into a sink that discards them.
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

class DiscardingSink : public FrameSink {
 public:
  void write_frame(const RgbFrame& frame) override {
    benchmark::DoNotOptimize(frame.bytes().data());
    ++frames;
  }
  std::uint64_t frames = 0;
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
  state.counters["packs_per_second"] =
      benchmark::Counter(static_cast<double>(packs), benchmark::Counter::kIsRate);
}

void decode_disc(benchmark::State& state, bool extended_graphics) {
  const std::vector<std::uint8_t>& cdg = karaoke_disc().cdg;
  const double disc_seconds =
      static_cast<double>(cdg.size() / pack_size) / packs_per_second_of_disc;
  double decoded = 0;
  for (auto _ : state) {
    DiscardingSink sink;
    run_pack_loop(cdg, extended_graphics, sink);
    benchmark::DoNotOptimize(sink.frames);
    decoded += disc_seconds;
  }
  state.counters["disc_seconds_per_second"] =
      benchmark::Counter(decoded, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(apply_packs, cdg, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(apply_packs, cdeg, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode_disc, cdg, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode_disc, cdeg, true)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glyphreel
