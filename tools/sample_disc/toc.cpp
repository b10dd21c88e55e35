#include "sample_disc/toc.hpp"

#include <cstddef>

namespace glyphreel::sample_disc {
namespace {

void put_descriptor(std::vector<std::uint8_t>& toc, std::uint8_t track,
                    std::uint32_t lba) {
  toc.push_back(0);  // reserved
  toc.push_back(audio_adr_control);
  toc.push_back(track);
  toc.push_back(0);  // reserved
  for (int shift = 24; shift >= 0; shift -= 8) {
    toc.push_back(static_cast<std::uint8_t>(lba >> shift));
  }
}

}  // namespace

std::vector<std::uint8_t> build_toc(std::span<const std::uint32_t> track_starts,
                                    std::uint32_t lead_out) {
  const std::size_t descriptors = track_starts.size() + 1;
  const std::size_t data_length = 8 * descriptors + 2;
  std::vector<std::uint8_t> toc;
  toc.reserve(data_length + 2);
  toc.push_back(static_cast<std::uint8_t>(data_length >> 8));
  toc.push_back(static_cast<std::uint8_t>(data_length));
  toc.push_back(1);
  toc.push_back(static_cast<std::uint8_t>(track_starts.size()));
  for (std::size_t k = 0; k < track_starts.size(); ++k) {
    put_descriptor(toc, static_cast<std::uint8_t>(k + 1), track_starts[k]);
  }
  put_descriptor(toc, lead_out_track, lead_out);
  return toc;
}

}  // namespace glyphreel::sample_disc
