#include "disc/toc_writer.hpp"

#include <string>

#include "base/fatal_error.hpp"
#include "disc/toc.hpp"

namespace glyphreel {

namespace {

constexpr std::size_t max_tracks = 99;
constexpr std::uint64_t max_lba = 0xFFFFFFFF;
// Q-channel ADR 1 (position) in the high nibble; control bit 2 marks data.
constexpr std::uint8_t adr_position = 0x10;
constexpr std::uint8_t control_data = 0x04;

[[noreturn]] void refuse(const std::string& why) {
  throw FatalError("cannot write a table of contents: " + why);
}

void append_descriptor(std::vector<std::uint8_t>& toc, std::uint8_t number,
                       bool data, std::uint64_t lba) {
  const std::uint8_t adr_control =
      data ? adr_position | control_data : adr_position;
  toc.insert(
      toc.end(),
      {0, adr_control, number, 0, static_cast<std::uint8_t>(lba >> 24),
       static_cast<std::uint8_t>(lba >> 16),
       static_cast<std::uint8_t>(lba >> 8), static_cast<std::uint8_t>(lba)});
}

}  // namespace

std::vector<std::uint8_t> build_toc(std::span<const TocTrack> tracks,
                                    std::uint64_t lead_out_lba) {
  if (tracks.empty()) refuse("no tracks");
  if (tracks.size() > max_tracks) {
    refuse(std::to_string(tracks.size()) + " tracks, at most 99");
  }
  // Strict increase up to the lead-out bounds every start by the lead-out,
  // so its 32-bit check covers them all.
  for (std::size_t k = 1; k < tracks.size(); ++k) {
    if (tracks[k].start_lba <= tracks[k - 1].start_lba) {
      refuse("track " + std::to_string(k + 1) + " starts at sector " +
             std::to_string(tracks[k].start_lba) + ", not after track " +
             std::to_string(k) + " at sector " +
             std::to_string(tracks[k - 1].start_lba));
    }
  }
  if (tracks.back().start_lba >= lead_out_lba) {
    refuse("track " + std::to_string(tracks.size()) + " starts at sector " +
           std::to_string(tracks.back().start_lba) +
           ", not before the lead-out at sector " +
           std::to_string(lead_out_lba));
  }
  if (lead_out_lba > max_lba) {
    refuse("the lead-out at sector " + std::to_string(lead_out_lba) +
           " is past 32-bit addresses");
  }

  const std::size_t data_length = 2 + 8 * (tracks.size() + 1);
  std::vector<std::uint8_t> toc = {static_cast<std::uint8_t>(data_length >> 8),
                                   static_cast<std::uint8_t>(data_length), 1,
                                   static_cast<std::uint8_t>(tracks.size())};
  toc.reserve(data_length + 2);
  for (std::size_t k = 0; k < tracks.size(); ++k) {
    append_descriptor(toc, static_cast<std::uint8_t>(k + 1), tracks[k].data,
                      tracks[k].start_lba);
  }
  append_descriptor(toc, lead_out_track_number, tracks.back().data,
                    lead_out_lba);
  return toc;
}

}  // namespace glyphreel
