// The byte spans of the chosen tracks in the disc image and the subcode
// dump: views into the loaded files, never copies.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "disc/toc.hpp"

namespace glyphreel {

// The whole sectors of a disc image of `bytes` bytes (2352 bytes each), or
// of a subcode dump (96 bytes each); a fatal stop when a partial sector is
// left over.
std::uint64_t image_sectors(std::uint64_t bytes);
std::uint64_t subcode_sectors(std::uint64_t bytes);

// start_track and end_track (counted from 1) must both name a track of the
// disc; a fatal stop names the first that does not.
void check_track_indices(const std::vector<TrackLbaRange>& track_lba_ranges,
                         std::uint64_t start_track, std::uint64_t end_track);

// From the start of start_track up to the start of the descriptor after
// end_track. A span that leaves its file or starts after its end is a fatal
// stop. Requires check_track_indices to have passed.
std::span<const std::uint8_t> audio_span(
    std::span<const std::uint8_t> img,
    const std::vector<TrackLbaRange>& track_lba_ranges,
    std::uint64_t start_track, std::uint64_t end_track);
std::span<const std::uint8_t> subcode_span(
    std::span<const std::uint8_t> cdg,
    const std::vector<TrackLbaRange>& track_lba_ranges,
    std::uint64_t start_track, std::uint64_t end_track);

}  // namespace glyphreel
