// The disc's table of contents: the response of READ TOC in format 0 with
// logical block addresses, turned into one sector range per track.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glyphreel {

inline constexpr std::size_t img_frame_size = 2352;  // audio bytes per sector
inline constexpr std::size_t cdg_frame_size = 96;    // subcode bytes per sector
inline constexpr std::uint64_t sectors_per_second = 75;
inline constexpr std::uint8_t lead_out_track_number = 0xAA;

// Sectors start_lba up to, not including, end_lba (the next descriptor's
// start: the next track or the lead-out).
struct TrackLbaRange {
  std::uint64_t start_lba = 0;
  std::uint64_t end_lba = 0;
  bool operator==(const TrackLbaRange&) const = default;
};

// The longest file whose 16-bit length field can match it, and the most of
// any file worth reading: one byte more already fails the length check.
inline constexpr std::size_t largest_toc_length = 2 + 0xFFFF;
inline constexpr std::size_t toc_read_limit = largest_toc_length + 1;

// Checks the file's framing and track numbering and yields one range per
// track, in track order; a fatal stop on the first failed check. Ranges are
// taken as they come: empty, reversed or out-of-order ranges pass here.
// REQUIRES: `toc` is the whole file of `file_length` bytes, or at least its
// first toc_read_limit bytes when the file is longer.
std::vector<TrackLbaRange> parse_toc(std::span<const std::uint8_t> toc,
                                     std::uint64_t file_length);

inline std::vector<TrackLbaRange> parse_toc(std::span<const std::uint8_t> toc) {
  return parse_toc(toc, toc.size());
}

// Both dumps must reach the lead-out address; a fatal stop otherwise.
void check_ranges(const std::vector<TrackLbaRange>& track_lba_ranges,
                  std::uint64_t img_frames, std::uint64_t cdg_frames);

}  // namespace glyphreel
