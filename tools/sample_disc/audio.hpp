// The sample disc's sound: notes placed on the pack clock and rendered as
// 16-bit little-endian stereo at 44100 Hz, 588 sample pairs (2352 bytes)
// per sector. Pack p of the disc lines up with sample pair 147 p, since a
// second holds 300 packs and 44100 pairs.
#pragma once

#include <cstdint>
#include <span>

namespace glyphreel::sample_disc {

inline constexpr std::uint64_t samples_per_pack = 147;
inline constexpr std::uint64_t audio_bytes_per_sector = 2352;

struct Note {
  std::uint64_t start_pack = 0;    // from the start of the disc
  std::uint64_t length_packs = 0;  // held this long, then a short release
  double frequency_hz = 440.0;
  double level = 0.3;         // peak amplitude as a fraction of full scale
  double pan = 0.0;           // -1 left ... +1 right
  double fade_seconds = 0.6;  // time for the level to fall to about a third
};

// Frequency of a MIDI key number (69 is A at 440 Hz).
double key_frequency(int key);

// Adds every note into `image` (whole sectors of audio, silence where no
// note sounds), saturating where notes overlap. Sound that would run past
// the end of the image is cut off.
void render_notes(std::span<const Note> notes, std::span<std::uint8_t> image);

}  // namespace glyphreel::sample_disc
