#include "sample_disc/audio.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace glyphreel::sample_disc {
namespace {

constexpr double sample_rate = 44100.0;
constexpr std::size_t table_size = 2048;
constexpr std::uint64_t attack_samples = 220;    // 5 ms: no click at onset
constexpr std::uint64_t release_samples = 1323;  // 30 ms fade after the note

// One period of a soft organ-like tone: a sine with a little second and
// third harmonic, scaled to a peak of 1. Built once and read by phase, so a
// disc of many minutes renders quickly.
const std::array<float, table_size>& wave_table() {
  static const std::array<float, table_size> table = [] {
    std::array<float, table_size> t{};
    float peak = 0.0f;
    for (std::size_t i = 0; i < table_size; ++i) {
      const double x = 2.0 * std::numbers::pi * static_cast<double>(i) /
                       static_cast<double>(table_size);
      t[i] = static_cast<float>(std::sin(x) + 0.25 * std::sin(2 * x) +
                                0.1 * std::sin(3 * x));
      peak = std::max(peak, std::abs(t[i]));
    }
    for (float& v : t) v /= peak;
    return t;
  }();
  return table;
}

void add_sample(std::span<std::uint8_t> image, std::size_t byte, double v) {
  const auto old = static_cast<std::int16_t>(
      static_cast<std::uint16_t>(image[byte] | (image[byte + 1] << 8)));
  const long sum = std::lround(old + v);
  const auto clamped =
      static_cast<std::int16_t>(std::clamp(sum, -32768L, 32767L));
  const auto bits = static_cast<std::uint16_t>(clamped);
  image[byte] = static_cast<std::uint8_t>(bits & 0xFF);
  image[byte + 1] = static_cast<std::uint8_t>(bits >> 8);
}

void render_note(const Note& note, std::span<std::uint8_t> image) {
  const std::uint64_t total_pairs = image.size() / 4;
  const std::uint64_t first = note.start_pack * samples_per_pack;
  const std::uint64_t held = note.length_packs * samples_per_pack;
  const std::uint64_t end =
      std::min(total_pairs, first + held + release_samples);
  if (first >= end) return;

  const auto& table = wave_table();
  const double step = note.frequency_hz * table_size / sample_rate;
  const double decay = std::exp(-1.0 / (note.fade_seconds * sample_rate));
  // Panning only ever turns one side down: a centred note is at full level
  // in both channels.
  const double left = 32767.0 * note.level * std::min(1.0, 1.0 - note.pan);
  const double right = 32767.0 * note.level * std::min(1.0, 1.0 + note.pan);
  double phase = 0.0;
  double sustain = 1.0;
  for (std::uint64_t n = 0; first + n < end; ++n) {
    double envelope = sustain;
    if (n < attack_samples) envelope *= static_cast<double>(n) / attack_samples;
    if (n >= held) {
      envelope *= 1.0 - static_cast<double>(n - held) / release_samples;
    }
    const double v = envelope * table[static_cast<std::size_t>(phase)];
    const std::size_t byte = static_cast<std::size_t>(first + n) * 4;
    add_sample(image, byte, v * left);
    add_sample(image, byte + 2, v * right);
    phase += step;
    if (phase >= table_size) phase -= table_size;
    sustain *= decay;
  }
}

}  // namespace

double key_frequency(int key) {
  return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

void render_notes(std::span<const Note> notes, std::span<std::uint8_t> image) {
  for (const Note& note : notes) render_note(note, image);
}

}  // namespace glyphreel::sample_disc
