// What a run of the library does with the songs it found: which of them are
// this worker's share, how long each video is, and which decoding mode its
// graphics need. Pure.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace glyphreel {

// --shard K/N: the K-th of N shares, 1 <= K <= N.
struct Shard {
  std::uint64_t index = 1;
  std::uint64_t count = 1;
  bool operator==(const Shard&) const = default;
};

// "K/N" in decimal digits; nothing for any other text.
std::optional<Shard> parse_shard(std::string_view text);

// 64-bit FNV-1a over the bytes: the same on every machine and build.
std::uint64_t fnv1a_64(std::string_view bytes);

// True when the song of this name (UTF-8) falls to the share: its hash,
// modulo N, is K - 1. Every song falls to exactly one of the N shares.
bool in_shard(std::string_view song_name, const Shard& shard);

// 44100 samples a second, 60 frames a second.
inline constexpr std::uint64_t audio_samples_per_frame = 735;

// The frames of a video whose graphics hold `packs` packs (one frame before
// every fifth) and whose audio holds `samples` samples at 44100 Hz: enough
// for the longer of the two, so that neither is cut and the video ends
// within a frame of the longer.
std::uint64_t video_frames(std::uint64_t packs, std::uint64_t samples);

// True when a .cdg holds any pack of mode 10 (CD+EG): its graphics are
// decoded in the "cdeg" mode.
bool has_extended_graphics(std::span<const std::uint8_t> graphics);

}  // namespace glyphreel
