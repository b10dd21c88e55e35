#include "disc/spans.hpp"

#include <string>
#include <string_view>

#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

void check_track_index(std::uint64_t track, std::string_view which,
                       std::uint64_t track_count) {
  const std::uint64_t index = track - 1;
  if (index >= track_count) {
    throw FatalError(std::string(which) + " " + std::to_string(track) +
                     " is not a track of this disc: index " +
                     std::to_string(index) + " is out of range for " +
                     std::to_string(track_count) + " tracks");
  }
}

std::span<const std::uint8_t> cut_span(
    std::span<const std::uint8_t> file, std::string_view file_name,
    std::uint64_t sector_size,
    const std::vector<TrackLbaRange>& track_lba_ranges,
    std::uint64_t start_track, std::uint64_t end_track) {
  // LBAs are 32-bit, so these products cannot overflow 64 bits.
  const std::uint64_t a =
      sector_size * track_lba_ranges[start_track - 1].start_lba;
  const std::uint64_t b = sector_size * track_lba_ranges[end_track - 1].end_lba;
  const std::string range = "byte range " + std::to_string(a) + ".." +
                            std::to_string(b) + " of the chosen tracks";
  const std::string beyond = " beyond the " + std::string(file_name) + " of " +
                             std::to_string(file.size()) + " bytes";
  if (a > file.size()) throw FatalError(range + " starts" + beyond);
  if (b > file.size()) throw FatalError(range + " ends" + beyond);
  if (a > b) {
    throw FatalError(range + " starts after its end in the " +
                     std::string(file_name));
  }
  return file.subspan(a, b - a);
}

std::uint64_t whole_sectors(std::uint64_t bytes, std::uint64_t sector_size,
                            std::string_view what) {
  const std::uint64_t remainder = bytes % sector_size;
  if (remainder != 0) throw FatalError::equality(what, remainder, 0);
  return bytes / sector_size;
}

}  // namespace

std::uint64_t image_sectors(std::uint64_t bytes) {
  return whole_sectors(bytes, img_frame_size,
                       "disc image is not a whole number of 2352-byte "
                       "sectors (length % 2352 == 0)");
}

std::uint64_t subcode_sectors(std::uint64_t bytes) {
  return whole_sectors(bytes, cdg_frame_size,
                       "subcode dump is not a whole number of 96-byte "
                       "sectors (length % 96 == 0)");
}

void check_track_indices(const std::vector<TrackLbaRange>& track_lba_ranges,
                         std::uint64_t start_track, std::uint64_t end_track) {
  check_track_index(start_track, "start_track", track_lba_ranges.size());
  check_track_index(end_track, "end_track", track_lba_ranges.size());
}

std::span<const std::uint8_t> audio_span(
    std::span<const std::uint8_t> img,
    const std::vector<TrackLbaRange>& track_lba_ranges,
    std::uint64_t start_track, std::uint64_t end_track) {
  return cut_span(img, "disc image", img_frame_size, track_lba_ranges,
                  start_track, end_track);
}

std::span<const std::uint8_t> subcode_span(
    std::span<const std::uint8_t> cdg,
    const std::vector<TrackLbaRange>& track_lba_ranges,
    std::uint64_t start_track, std::uint64_t end_track) {
  return cut_span(cdg, "subcode dump", cdg_frame_size, track_lba_ranges,
                  start_track, end_track);
}

}  // namespace glyphreel
