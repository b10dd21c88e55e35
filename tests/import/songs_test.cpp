#include "import/songs.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace glyphreel {
namespace {

TEST(Songs, TheLongerOfAudioAndGraphicsInWholeSectors) {
  const struct {
    std::uint64_t audio, graphics, sectors;
  } cases[] = {
      {0, 0, 0},         {1, 0, 1},
      {2352, 0, 1},      {2353, 0, 2},
      {0, 24, 1},        {0, 96, 1},
      {0, 120, 2},       {2352 * 3, 96 * 2, 3},
      {2352, 96 * 5, 5}, {2352 * 5 + 1, 96 * 6, 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(song_track_sectors(c.audio, c.graphics), c.sectors)
        << c.audio << " " << c.graphics;
  }
}

TEST(Songs, APartialLastPackIsDropped) {
  EXPECT_EQ(whole_pack_bytes(0), 0u);
  EXPECT_EQ(whole_pack_bytes(23), 0u);
  EXPECT_EQ(whole_pack_bytes(24), 24u);
  EXPECT_EQ(whole_pack_bytes(24 * 7 + 5), 24u * 7);
}

TEST(Songs, GraphicsAreCopiedThenPaddedWithIdlePacks) {
  std::vector<std::uint8_t> cdg = {0xEE};  // what earlier tracks left
  std::vector<std::uint8_t> graphics(48);
  for (std::size_t i = 0; i < graphics.size(); ++i) {
    graphics[i] = static_cast<std::uint8_t>(0xC0 | i);  // high bits kept
  }
  append_song_subcode(cdg, graphics, 2);
  ASSERT_EQ(cdg.size(), 1u + 2 * 96);
  EXPECT_EQ(cdg[0], 0xEE);
  EXPECT_TRUE(std::equal(graphics.begin(), graphics.end(), cdg.begin() + 1));
  EXPECT_TRUE(std::all_of(cdg.begin() + 49, cdg.end(),
                          [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace glyphreel
