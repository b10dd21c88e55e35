// The table of contents of a disc as a drive answers READ TOC in format 0
// with block addresses: a 2-byte big-endian data length (8 per descriptor
// plus 2), the first and last track numbers, one 8-byte descriptor per
// track (reserved, ADR/control 0x10 for audio, track number, reserved,
// 4-byte big-endian start address) and the lead-out descriptor (track
// 0xAA, the address just past the last sector). 8 (tracks + 1) + 4 bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace glyphreel::sample_disc {

inline constexpr std::uint8_t lead_out_track = 0xAA;
inline constexpr std::uint8_t audio_adr_control = 0x10;

// `track_starts` holds the first sector of each track in order; `lead_out`
// is the total number of sectors.
std::vector<std::uint8_t> build_toc(std::span<const std::uint32_t> track_starts,
                                    std::uint32_t lead_out);

}  // namespace glyphreel::sample_disc
