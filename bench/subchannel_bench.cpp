// Correcting a whole 74-minute disc's subchannel: 333,000 sectors of raw
// interleaved records, a fifth of the packs graphics with parity and the
// rest idle, with 1 % of the raw symbols damaged at random. Times the
// de-interleaving, the correction and both together; seconds_per_disc is
// the wall-clock time of one whole disc on one core.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "subchannel/damage.hpp"
#include "subchannel/deinterleave.hpp"
#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

constexpr std::uint64_t disc_sectors = 333000;
constexpr std::uint64_t disc_tracks = 15;
constexpr double graphics_share = 0.2;
constexpr double damaged_share = 0.01;

using Bytes = std::vector<std::uint8_t>;

struct RawDisc {
  Bytes interleaved;
  Bytes packed;
  std::vector<TrackLbaRange> tracks;
};

RawDisc make_disc() {
  std::mt19937_64 rng(74);
  std::bernoulli_distribution graphics(graphics_share);
  std::uniform_int_distribution<int> symbol(0, 63);
  std::vector<test::PackBytes> logical(disc_sectors * 4);
  for (test::PackBytes& pack : logical) {
    if (!graphics(rng)) continue;
    pack[0] = 9;
    for (std::size_t i = 1; i < 20; ++i) {
      pack[i] = static_cast<std::uint8_t>(symbol(rng));
    }
    test::add_parity(pack);
  }
  RawDisc disc;
  disc.interleaved.resize(disc_sectors * subchannel_record_size);
  test::interleave(disc.interleaved, logical);
  // Damage at random places: gaps between damaged symbols are geometric.
  std::geometric_distribution<std::size_t> gap(damaged_share);
  std::uniform_int_distribution<int> error(1, 63);
  for (std::size_t at = gap(rng); at < disc.interleaved.size();
       at += 1 + gap(rng)) {
    disc.interleaved[at] ^= static_cast<std::uint8_t>(error(rng));
  }
  disc.packed = test::pack_records(disc.interleaved);
  const std::uint64_t track_sectors = disc_sectors / disc_tracks;
  for (std::uint64_t t = 0; t < disc_tracks; ++t) {
    const std::uint64_t end =
        t + 1 == disc_tracks ? disc_sectors : (t + 1) * track_sectors;
    disc.tracks.push_back({t * track_sectors, end});
  }
  return disc;
}

const RawDisc& disc() {
  static const RawDisc raw = make_disc();
  return raw;
}

void per_disc(benchmark::State& state) {
  state.counters["seconds_per_disc"] =
      benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate |
                                benchmark::Counter::kInvert);
}

void report_damage(benchmark::State& state, const DamageReport& report) {
  const ParityTally& t = report.totals;
  state.counters["corrected"] = static_cast<double>(t.corrected);
  state.counters["uncorrectable"] = static_cast<double>(t.uncorrectable);
  state.counters["without_parity"] = static_cast<double>(t.without_parity);
}

void deinterleave(benchmark::State& state, SubchannelForm form) {
  const Bytes& records =
      form == SubchannelForm::Packed ? disc().packed : disc().interleaved;
  for (auto _ : state) {
    Bytes cooked = cook_subchannel(records, form, 0, disc_sectors);
    benchmark::DoNotOptimize(cooked.data());
  }
  per_disc(state);
}

void correct(benchmark::State& state) {
  const Bytes cooked = cook_subchannel(
      disc().interleaved, SubchannelForm::Interleaved, 0, disc_sectors);
  Bytes work;
  DamageReport report;
  for (auto _ : state) {
    state.PauseTiming();
    work = cooked;
    state.ResumeTiming();
    report = correct_packs(work, disc().tracks, UncorrectablePacks::Keep);
    benchmark::DoNotOptimize(work.data());
  }
  per_disc(state);
  report_damage(state, report);
}

void whole_disc(benchmark::State& state) {
  DamageReport report;
  for (auto _ : state) {
    Bytes cooked = cook_subchannel(
        disc().interleaved, SubchannelForm::Interleaved, 0, disc_sectors);
    report = correct_packs(cooked, disc().tracks, UncorrectablePacks::Keep);
    benchmark::DoNotOptimize(cooked.data());
  }
  per_disc(state);
  report_damage(state, report);
}

BENCHMARK_CAPTURE(deinterleave, interleaved, SubchannelForm::Interleaved)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(deinterleave, packed, SubchannelForm::Packed)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(correct)->Unit(benchmark::kMillisecond);
BENCHMARK(whole_disc)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glyphreel
