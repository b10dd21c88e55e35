#include "library/plan.hpp"

#include <algorithm>

#include "base/subcode_pack.hpp"
#include "base/text.hpp"
#include "import/text_lines.hpp"
#include "packs/pack_loop.hpp"

namespace glyphreel {

namespace {

constexpr std::uint64_t fnv_offset_basis = 0xcbf29ce484222325;
constexpr std::uint64_t fnv_prime = 0x100000001b3;

std::uint64_t divide_up(std::uint64_t value, std::uint64_t divisor) {
  return value / divisor + (value % divisor != 0 ? 1 : 0);
}

// The most digits a whole number of the command line may have: all fit in
// 64 bits.
constexpr std::size_t longest_number = 19;

}  // namespace

std::optional<Shard> parse_shard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const auto index = parse_digits(text.substr(0, slash), longest_number);
  const auto count = parse_digits(text.substr(slash + 1), longest_number);
  if (!index || !count || *index == 0 || *index > *count) return std::nullopt;
  return Shard{*index, *count};
}

std::uint64_t fnv1a_64(std::string_view bytes) {
  std::uint64_t hash = fnv_offset_basis;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= fnv_prime;
  }
  return hash;
}

bool in_shard(std::string_view song_name, const Shard& shard) {
  return fnv1a_64(song_name) % shard.count == shard.index - 1;
}

std::uint64_t video_frames(std::uint64_t packs, std::uint64_t samples) {
  return std::max(divide_up(packs, packs_per_frame),
                  divide_up(samples, audio_samples_per_frame));
}

bool has_extended_graphics(std::span<const std::uint8_t> graphics) {
  for (std::size_t at = 0; at + pack_size <= graphics.size(); at += pack_size) {
    if (graphics[at] == mode_extended_graphics) return true;
  }
  return false;
}

}  // namespace glyphreel
