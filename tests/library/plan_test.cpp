#include "library/plan.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glyphreel {
namespace {

TEST(LibraryPlan, ShardsAreKOfN) {
  EXPECT_EQ(parse_shard("1/1"), (Shard{1, 1}));
  EXPECT_EQ(parse_shard("3/16"), (Shard{3, 16}));
  for (const char* wrong :
       {"", "1", "0/2", "3/2", "1/0", "+1/2", "1/+2", "1 /2", "1/2/3", "a/b",
        "-1/2", "1/18446744073709551616"}) {
    EXPECT_FALSE(parse_shard(wrong)) << wrong;
  }
}

TEST(LibraryPlan, TheHashIsFnv1aOverTheBytes) {
  // The published FNV-1a 64 test values.
  EXPECT_EQ(fnv1a_64(""), 0xcbf29ce484222325u);
  EXPECT_EQ(fnv1a_64("a"), 0xaf63dc4c8601ec8cu);
  EXPECT_EQ(fnv1a_64("foobar"), 0x85944171f73967e8u);
}

TEST(LibraryPlan, EverySongFallsToExactlyOneShard) {
  for (std::uint64_t count : {1u, 2u, 3u, 7u}) {
    std::vector<int> per_shard(count, 0);
    for (int song = 0; song < 200; ++song) {
      const std::string name = "Artist " + std::to_string(song) + "/Song";
      int shards = 0;
      for (std::uint64_t index = 1; index <= count; ++index) {
        if (in_shard(name, {index, count})) {
          ++shards;
          ++per_shard[index - 1];
        }
      }
      EXPECT_EQ(shards, 1) << name;
    }
    // Spread over all of them, roughly evenly.
    for (const int songs : per_shard) EXPECT_GT(songs, 100 / int(count) - 1);
  }
}

TEST(LibraryPlan, TheVideoIsAsLongAsTheLongerOfGraphicsAndAudio) {
  struct Case {
    std::uint64_t packs, samples, frames;
  };
  const Case cases[] = {
      {0, 0, 0},
      {1, 0, 1},  // one frame before the first pack
      {5, 0, 1},
      {6, 0, 2},
      {18000, 0, 3600},  // a minute of packs
      {0, 1, 1},
      {0, 735, 1},
      {0, 736, 2},
      {0, 44100, 60},         // a second of audio
      {300, 44100 * 3, 180},  // audio longer: held to its end
      {900, 44100, 180},      // graphics longer: silence after
      {300, 44100 + 1, 61},   // a sample past the frame needs one
  };
  for (const Case& test : cases) {
    EXPECT_EQ(video_frames(test.packs, test.samples), test.frames)
        << test.packs << " packs, " << test.samples << " samples";
  }
}

TEST(LibraryPlan, Mode10PacksMeanExtendedGraphics) {
  std::vector<std::uint8_t> graphics(3 * 24, 0);
  graphics[24] = 9;
  EXPECT_FALSE(has_extended_graphics(graphics));
  graphics[48] = 10;
  EXPECT_TRUE(has_extended_graphics(graphics));
  // Only a pack's first byte is its mode.
  graphics[48] = 0;
  graphics[49] = 10;
  EXPECT_FALSE(has_extended_graphics(graphics));
}

}  // namespace
}  // namespace glyphreel
