#include "sample_disc/timeline.hpp"

namespace glyphreel::sample_disc {

void Timeline::rest(std::uint64_t count) { idle(packs_, count); }

void Timeline::wait_until(std::uint64_t pack) {
  if (pack > now()) rest(pack - now());
}

void Timeline::finish_sector() {
  const std::uint64_t partial = now() % packs_per_sector;
  if (partial != 0) rest(packs_per_sector - partial);
}

void Timeline::play(std::uint64_t length_packs, double frequency_hz,
                    double level, double pan) {
  notes_.push_back(Note{now(), length_packs, frequency_hz, level, pan});
}

void Timeline::append(const Timeline& other) {
  const std::uint64_t offset = now();
  packs_.insert(packs_.end(), other.packs_.begin(), other.packs_.end());
  for (Note note : other.notes_) {
    note.start_pack += offset;
    notes_.push_back(note);
  }
}

}  // namespace glyphreel::sample_disc
