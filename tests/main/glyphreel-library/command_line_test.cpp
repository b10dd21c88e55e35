#include "main/glyphreel-library/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace glyphreel {
namespace {

LibraryRequest parse(std::vector<NativeString> tail) {
  tail.insert(tail.begin(), "glyphreel-library");
  return parse_library_arguments(tail);
}

TEST(LibraryCommandLine, WrongCommandLinesGiveTheUsage) {
  const std::vector<std::vector<NativeString>> wrong = {
      {},
      {"songs"},
      {"songs", "disc"},                 // no OUTDIR
      {"songs", "disc", "out", "more"},  // a third positional
      {"songs", "", "out"},
      {"songs", "disc", "out", "--audio", "ogg"},
      {"songs", "disc", "out", "--audio"},
      {"songs", "disc", "out", "--tracks", "3-2"},
      {"songs", "disc", "out", "--tracks", "0-2"},
      {"songs", "disc", "out", "--names", ""},
      {"songs", "disc", "out", "--folders", "--folders"},
      {"songs", "disc", "out", "-j", "2"},  // the other command's
      {"--help", "videos"},                 // --help stands alone
      {"videos", "--out", "o"},             // no SOURCE
      {"videos", "in"},                     // no --out
      {"videos", "in", "--out"},            // --out without DIR
      {"videos", "in", "--out", ""},
      {"videos", "in", "--out", "o", "-j", "0"},
      {"videos", "in", "--out", "o", "-j", "257"},
      {"videos", "in", "--out", "o", "-j"},
      {"videos", "in", "--out", "o", "-jx"},
      {"videos", "in", "--out", "o", "-j", "2", "-j3"},  // given twice
      {"videos", "in", "--out", "o", "--scale", "0"},
      {"videos", "in", "--out", "o", "--scale", "7"},
      {"videos", "in", "--out", "o", "--scale", "+2"},
      {"videos", "in", "--out", "o", "--pad", "4:3"},
      {"videos", "in", "--out", "o", "--shard", "3/2"},
      {"videos", "in", "--out", "o", "--json"},  // not this program's
      {"videos", "in", "--out", "o", "--list", "--list"},
  };
  for (const auto& tail : wrong) {
    std::string shown;
    for (const auto& word : tail) shown += word + " ";
    EXPECT_TRUE(std::holds_alternative<ShowLibraryUsage>(parse(tail))) << shown;
  }
}

TEST(LibraryCommandLine, OptionsStandAnywhereAfterTheCommand) {
  const auto videos = std::get<VideosArguments>(
      parse({"videos", "-j4", "a", "--scale", "5", "b.zip", "--pad", "16:9",
             "--out", "out", "--shard", "2/3", "--results", "r.json", "--list",
             "c.cdg", "--ffmpeg", "/opt/ffmpeg", "-"}));
  EXPECT_EQ(videos.sources,
            (std::vector<NativeString>{"a", "b.zip", "c.cdg", "-"}));
  EXPECT_EQ(videos.out_folder, "out");
  EXPECT_EQ(videos.jobs, 4u);
  EXPECT_EQ(videos.scale, 5u);
  EXPECT_TRUE(videos.pad_16_9);
  EXPECT_EQ(videos.shard, (Shard{2, 3}));
  EXPECT_EQ(videos.results_path, NativeString("r.json"));
  EXPECT_TRUE(videos.list);
  EXPECT_EQ(videos.ffmpeg_path, "/opt/ffmpeg");

  // The defaults.
  const auto plain = std::get<VideosArguments>(
      parse({"videos", "in", "--out", "o", "-j", "256"}));
  EXPECT_EQ(plain.jobs, 256u);
  EXPECT_EQ(plain.scale, 2u);
  EXPECT_FALSE(plain.pad_16_9);
  EXPECT_EQ(plain.shard, (Shard{1, 1}));
  EXPECT_FALSE(plain.results_path);
  EXPECT_FALSE(plain.list);
  EXPECT_EQ(plain.ffmpeg_path, "ffmpeg");
  EXPECT_EQ(
      std::get<VideosArguments>(parse({"videos", "in", "--out", "o"})).jobs,
      0u);
}

TEST(LibraryCommandLine, SongsTakeADiscAndAnOutputFolder) {
  const auto songs = std::get<DiscSongsArguments>(
      parse({"songs", "--tracks", "2-5", "disc", "--folders", "--audio", "flac",
             "out", "--names", "d.cue", "--ffmpeg", "/opt/ffmpeg"}));
  EXPECT_EQ(songs.disc_folder, "disc");
  EXPECT_EQ(songs.out_folder, "out");
  EXPECT_EQ(songs.audio, SongAudio::Flac);
  EXPECT_TRUE(songs.folders);
  EXPECT_EQ(songs.names_path, NativeString("d.cue"));
  EXPECT_EQ(songs.tracks, (TrackRange{2, 5}));
  EXPECT_EQ(songs.ffmpeg_path, "/opt/ffmpeg");

  const auto plain =
      std::get<DiscSongsArguments>(parse({"songs", "disc", "out"}));
  EXPECT_EQ(plain.audio, SongAudio::Mp3);
  EXPECT_FALSE(plain.folders);
  EXPECT_FALSE(plain.names_path);
  EXPECT_FALSE(plain.tracks);
  EXPECT_EQ(plain.ffmpeg_path, "ffmpeg");
}

TEST(LibraryCommandLine, HelpAndVersion) {
  EXPECT_TRUE(std::holds_alternative<ShowLibraryHelp>(parse({"--help"})));
  EXPECT_TRUE(std::holds_alternative<ShowLibraryVersion>(parse({"--version"})));
  EXPECT_EQ(library_help_text().substr(0, library_usage_text.size()),
            library_usage_text);
}

}  // namespace
}  // namespace glyphreel
