#include "library/outputs.hpp"

#include <gtest/gtest.h>

#include <set>

namespace glyphreel {
namespace {

NativeString native(std::string_view utf8) {
  return platform::native_from_utf8(utf8);
}

TEST(LibraryOutputs, TheVideoGoesToItsRelativePathInTheOutputFolder) {
  Song song;
  song.output_stem = platform::join_path(native("Artist"), native("Song é"));
  EXPECT_EQ(
      output_path(native("out"), song),
      platform::join_path(native("out"), song.output_stem) + native(".mp4"));
  EXPECT_EQ(file_name_part(output_path(native("out"), song)),
            native("Song é.mp4"));
  EXPECT_EQ(file_name_part(native("plain.mp4")), native("plain.mp4"));
}

TEST(LibraryOutputs, HostLabelsKeepLettersDigitsAndDashes) {
  EXPECT_EQ(host_label("node-7.cluster.example"), "node-7");
  EXPECT_EQ(host_label("my box_1"), "my-box-1");
  EXPECT_EQ(host_label("h\xc3\xa9te"), "h--te");
  EXPECT_EQ(host_label(""), "host");
  EXPECT_EQ(host_label(std::string(80, 'a')), std::string(63, 'a'));
}

TEST(LibraryOutputs, TemporaryNamesReadBackAsTheirVideoAndOwner) {
  const TemporaryOwner owner{"node-7", 4242, 0x0badcafe};
  const NativeString video = native("Song. 2 .glyphreel-x.mp4");
  // A name too long to hold whole: its start, cut between characters
  // ("é" is two bytes on POSIX, the second past the cut), and the hash of
  // the whole name.
  const auto long_name = [](char last) {
    return native(std::string(102, 'a') + "\xc3\xa9" + std::string(40, last) +
                  ".mp4");
  };
  const NativeString names[] = {
      temporary_name(video, owner, TemporaryKind::Video),
      temporary_name(video, owner, TemporaryKind::Log),
      temporary_name(video, owner, TemporaryKind::Audio, "mp3"),
  };
  EXPECT_EQ(names[0], native(".Song. 2 .glyphreel-x.mp4.node-7.4242-0badcafe."
                             "glyphreel-video"));
  EXPECT_EQ(names[2], native(".Song. 2 .glyphreel-x.mp4.node-7.4242-0badcafe."
                             "glyphreel-audio.mp3"));
  std::set<NativeString> distinct(std::begin(names), std::end(names));
  EXPECT_EQ(distinct.size(), 3u);
  for (const NativeString& name : names) {
    const std::optional<ParsedTemporary> parsed = parse_temporary(name);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->video_stem, video);
    EXPECT_EQ(parsed->owner, owner);
  }
  const NativeString stem = temporary_stem(long_name('b'));
  const std::string shown = platform::display_path(stem);
  EXPECT_LE(stem.size(), longest_temporary_stem);
  EXPECT_EQ(shown.substr(0, 102), std::string(102, 'a'));
  EXPECT_TRUE(shown.substr(102, 1) == "~" ||
              shown.substr(102, 3) == "\xc3\xa9~")
      << shown;
  EXPECT_EQ(shown.size() - shown.find('~'), 17u);
  EXPECT_NE(stem, temporary_stem(long_name('c')));
  EXPECT_EQ(parse_temporary(
                temporary_name(long_name('b'), owner, TemporaryKind::Video))
                ->video_stem,
            stem);
  // What no run of ours writes.
  for (const char* other :
       {"Song.mp4", ".Song.mp4.node.12-0000000a.glyphreel-other",
        ".Song.mp4.node.12.glyphreel-log", ".Song.mp4.node.12-0a.glyphreel-log",
        ".Song.mp4.node.12-0000000A.glyphreel-log",
        ".Song.mp4.node.1x-0000000a.glyphreel-log",
        ".Song.mp4.no_de.12-0000000a.glyphreel-log",
        ".node.12-0000000a.glyphreel-log",
        ".Song.mp4.node.-0000000a.glyphreel-video",
        "Song.mp4.node.12-0000000a.glyphreel-log",
        ".Song.mp4.node.123456789012345678901-0000000a.glyphreel-log"}) {
    EXPECT_FALSE(parse_temporary(native(other))) << other;
  }
}

TEST(LibraryOutputs, TemporariesAreStaleOrInUseByTheirOwners) {
  const auto running = [](std::uint64_t process) { return process == 11; };
  struct Case {
    TemporaryOwner temporary;
    std::uint64_t seconds_unchanged;
    bool stale;   // ours to remove
    bool in_use;  // its song left to its owner
  };
  const Case cases[] = {
      {{"here", 12}, 0, true, false},     // its process ended
      {{"here", 11}, 3599, false, true},  // still running
      {{"here", 11}, 3600, true, false},  // its id now another program's
      {{"there", 12}, 0, false, true},    // another machine's
      {{"there", 12}, 3599, false, true},
      {{"there", 12}, 3600, false, false},  // that stopped long ago
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.temporary.host + " " +
                 std::to_string(test.temporary.process) + " " +
                 std::to_string(test.seconds_unchanged));
    EXPECT_EQ(is_stale_temporary(test.temporary, "here", running,
                                 test.seconds_unchanged),
              test.stale);
    EXPECT_EQ(temporary_in_use(test.temporary, "here", running,
                               test.seconds_unchanged),
              test.in_use);
  }
}

}  // namespace
}  // namespace glyphreel
