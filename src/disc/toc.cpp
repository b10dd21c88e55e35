#include "disc/toc.hpp"

#include <string>

#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

// Header: 2-byte data length, first and last track numbers.
constexpr std::size_t toc_header_size = 4;
// Descriptor: reserved, ADR/control, track number, reserved, 4-byte LBA.
constexpr std::size_t descriptor_size = 8;
constexpr std::size_t track_number_offset = 2;
constexpr std::size_t start_lba_offset = 4;

std::uint64_t read_be32(std::span<const std::uint8_t> bytes,
                        std::size_t offset) {
  return (std::uint64_t{bytes[offset]} << 24) |
         (std::uint64_t{bytes[offset + 1]} << 16) |
         (std::uint64_t{bytes[offset + 2]} << 8) |
         std::uint64_t{bytes[offset + 3]};
}

}  // namespace

std::vector<TrackLbaRange> parse_toc(std::span<const std::uint8_t> toc,
                                     std::uint64_t file_length) {
  if (file_length < 2) {
    throw FatalError(
        "table of contents too short: byte range 0..2 of its length field "
        "lies beyond the file of " +
        std::to_string(file_length) + " bytes");
  }
  const std::uint64_t toc_data_length =
      (std::uint64_t{toc[0]} << 8) | std::uint64_t{toc[1]};
  if (toc_data_length + 2 != file_length) {
    throw FatalError::equality(
        "table of contents length does not match its data length field "
        "(toc_data_length + 2 == file length)",
        toc_data_length + 2, file_length);
  }
  // From here on the file is known to be whole: file_length == toc.size().
  const std::uint64_t track_count =
      toc_data_length < 2 ? 0 : (toc_data_length - 2) / descriptor_size;
  if (track_count == 0) throw FatalError("assertion failed: track_count > 0");
  if (descriptor_size * track_count + toc_header_size != toc.size()) {
    throw FatalError::equality(
        "table of contents is not a whole number of track descriptors "
        "(8 * track_count + 4 == file length)",
        descriptor_size * track_count + toc_header_size, toc.size());
  }
  const auto descriptor = [&](std::uint64_t k) {
    return toc.subspan(toc_header_size + descriptor_size * k, descriptor_size);
  };
  const std::uint64_t last = track_count - 1;
  const std::uint8_t lead_out_number = descriptor(last)[track_number_offset];
  if (lead_out_number != lead_out_track_number) {
    throw FatalError::equality(
        "last descriptor of the table of contents is not the lead-out "
        "(track number == 170)",
        lead_out_number, lead_out_track_number);
  }
  std::vector<TrackLbaRange> track_lba_ranges;
  track_lba_ranges.reserve(last);
  for (std::uint64_t k = 0; k < last; ++k) {
    const std::uint8_t number = descriptor(k)[track_number_offset];
    if (number != k + 1) {
      throw FatalError::equality(
          "descriptor " + std::to_string(k) +
              " of the table of contents carries the wrong track number "
              "(track number == descriptor index + 1)",
          number, k + 1);
    }
    track_lba_ranges.push_back(
        {read_be32(descriptor(k), start_lba_offset),
         read_be32(descriptor(k + 1), start_lba_offset)});
  }
  return track_lba_ranges;
}

void check_ranges(const std::vector<TrackLbaRange>& track_lba_ranges,
                  std::uint64_t img_frames, std::uint64_t cdg_frames) {
  if (track_lba_ranges.empty()) {
    throw FatalError("assertion failed: !track_lba_ranges.is_empty()");
  }
  const std::uint64_t disc_end_lba = track_lba_ranges.back().end_lba;
  if (disc_end_lba > img_frames) {
    throw FatalError("assertion failed: disc_end_lba <= img_frames");
  }
  if (disc_end_lba > cdg_frames) {
    throw FatalError("assertion failed: disc_end_lba <= cdg_frames");
  }
}

}  // namespace glyphreel
