// Synthesised test discs, built in memory: the raw audio image (2352 bytes
// a sector), the R-W subcode dump (96 bytes, four packs, a sector) and the
// table of contents whose lead-out address is the number of sectors. Every
// track begins on a sector boundary with a colour load and a memory
// preset, so any track range decodes on its own. The same call always
// gives the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace glyphreel::sample_disc {

struct SampleDisc {
  std::vector<std::uint8_t> img;
  std::vector<std::uint8_t> cdg;
  std::vector<std::uint8_t> toc;
};

// About 28 seconds in three tracks. Track 1 (CD+G): a title screen, then a
// lyric page sung character by character and scrolled away to the left.
// Track 2 (CD+G): a second lyric page in other colours, scrolled away
// upwards. Track 3 (CD+EG): the primary plane, the secondary plane, both
// mixed, then a 256-colour picture shown under three colour tables.
SampleDisc make_sample_disc();

// A long karaoke disc of CD+G only, about `seconds` long (at least 1; very
// short requests come out a little longer, as every track needs room for a
// title card). A mostly idle title screen of a tenth of the disc, up to
// three minutes, then lyric pages one after another, in two or more tracks
// of at most three minutes each. Throws std::invalid_argument below 1.
SampleDisc make_long_disc(double seconds);

// One karaoke song file of CD+G, about `seconds` long (at least 1), as the
// packs of a .cdg file and its audio: a title card naming song `number`,
// then lyric pages one after another until the end, the last picture held.
// Songs of different numbers start at different pages and colours. `toc`
// is empty. Throws std::invalid_argument below 1 second.
SampleDisc make_song(double seconds, unsigned number);

}  // namespace glyphreel::sample_disc
