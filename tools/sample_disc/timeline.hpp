// A stretch of subcode on the pack clock (300 packs a second) together with
// the notes that sound over it. Scenes are written into a timeline of their
// own, starting at pack 0, and then appended to the disc's timeline, so a
// scene's length is known before it is placed.
#pragma once

#include <cstdint>
#include <vector>

#include "sample_disc/audio.hpp"
#include "sample_disc/pack_writer.hpp"

namespace glyphreel::sample_disc {

inline constexpr std::uint64_t packs_per_second = 300;

// Whole packs in `s` seconds, rounded down.
constexpr std::uint64_t seconds(double s) {
  return static_cast<std::uint64_t>(s * packs_per_second);
}

class Timeline {
 public:
  // The packs written so far, for the pack writers to append to.
  PackBytes& packs() { return packs_; }
  const PackBytes& packs() const { return packs_; }
  const std::vector<Note>& notes() const { return notes_; }

  // Index of the next pack to be written.
  std::uint64_t now() const { return packs_.size() / pack_bytes; }

  // `count` idle packs.
  void rest(std::uint64_t count);
  // Idle packs up to pack index `pack`; nothing when already there or past.
  void wait_until(std::uint64_t pack);
  // Idle packs up to the next sector boundary.
  void finish_sector();

  // A note starting at the current pack.
  void play(std::uint64_t length_packs, double frequency_hz, double level,
            double pan = 0.0);
  // A note placed anywhere in this timeline, such as a pad under a stretch
  // already written.
  void add_note(const Note& note) { notes_.push_back(note); }

  // Appends `other`'s packs, its notes shifted to start here.
  void append(const Timeline& other);

 private:
  PackBytes packs_;
  std::vector<Note> notes_;
};

}  // namespace glyphreel::sample_disc
