// Song files laid out as the tracks of one disc: each song's track is as long
// as the longer of its audio and its graphics, in whole sectors, the shorter
// padded with silence or idle packs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/subcode_pack.hpp"

namespace glyphreel {

// A .cdg song file is a plain sequence of 24-byte packs, 300 a second.
// The bytes of whole packs in a graphics file of `size` bytes; a partial
// pack at its end is dropped.
std::uint64_t whole_pack_bytes(std::uint64_t size);

// The sectors of one song's track: its audio (2352 bytes a sector) and its
// graphics (96 bytes, four packs, a sector), each rounded up, whichever is
// longer. 0 when both are empty.
std::uint64_t song_track_sectors(std::uint64_t audio_bytes,
                                 std::uint64_t graphics_bytes);

// Appends one track's subcode to the disc's: the graphics byte for byte, then
// idle (all-zero) packs to the end of the track's sectors.
// REQUIRES: graphics.size() is whole packs and at most 96 × sectors bytes.
void append_song_subcode(std::vector<std::uint8_t>& cdg,
                         std::span<const std::uint8_t> graphics,
                         std::uint64_t sectors);

}  // namespace glyphreel
