#include "import/songs.hpp"

#include <algorithm>

#include "disc/toc.hpp"

namespace glyphreel {

namespace {

std::uint64_t sectors_for(std::uint64_t bytes, std::uint64_t sector_size) {
  return bytes / sector_size + (bytes % sector_size != 0 ? 1 : 0);
}

}  // namespace

std::uint64_t whole_pack_bytes(std::uint64_t size) {
  return size - size % pack_size;
}

std::uint64_t song_track_sectors(std::uint64_t audio_bytes,
                                 std::uint64_t graphics_bytes) {
  return std::max(sectors_for(audio_bytes, img_frame_size),
                  sectors_for(graphics_bytes, cdg_frame_size));
}

void append_song_subcode(std::vector<std::uint8_t>& cdg,
                         std::span<const std::uint8_t> graphics,
                         std::uint64_t sectors) {
  const std::size_t end = cdg.size() + sectors * cdg_frame_size;
  cdg.insert(cdg.end(), graphics.begin(), graphics.end());
  cdg.resize(end, 0);
}

}  // namespace glyphreel
