// Writing a table of contents: the inverse of parse_toc, for the importer
// that makes the three dumps from a rip.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace glyphreel {

// One track as the table of contents records it: where it starts and
// whether it holds data sectors rather than audio.
struct TocTrack {
  std::uint64_t start_lba = 0;
  bool data = false;
  bool operator==(const TocTrack&) const = default;
};

// A READ TOC format-0 response with LBA addresses: the 4-byte header (data
// length, first and last track number), one 8-byte descriptor per track
// (ADR 1, control 0 for audio and 4 for data, tracks numbered from 1) and
// the lead-out 0xAA at lead_out_lba. parse_toc reads it back as one range
// per track, each ending where the next track or the lead-out starts.
// A fatal stop when it cannot be written so: no tracks, more than 99,
// starts that do not strictly increase, a last track that does not start
// before the lead-out (every track holds at least one sector), or a
// lead-out past 32-bit addresses.
std::vector<std::uint8_t> build_toc(std::span<const TocTrack> tracks,
                                    std::uint64_t lead_out_lba);

}  // namespace glyphreel
