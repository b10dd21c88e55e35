#include "main/glyphreel/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "base/fatal_error.hpp"

namespace glyphreel {
namespace {

std::vector<NativeString> command_line(std::vector<NativeString> tail) {
  std::vector<NativeString> argv = {"glyphreel", "d.img",  "d.cdg", "d.toc",
                                    "t.raw",     "ffmpeg", "o.mp4"};
  argv.insert(argv.end(), tail.begin(), tail.end());
  return argv;
}

std::string report_of(const std::vector<NativeString>& argv) {
  try {
    parse_arguments(argv);
  } catch (const FatalError& error) {
    return error.report();
  }
  return "no fatal stop";
}

TEST(ParseArguments, OnlyEightOrNineArgumentsAreARun) {
  EXPECT_FALSE(parse_arguments(std::vector<NativeString>{}).has_value());
  EXPECT_FALSE(parse_arguments(std::vector<NativeString>{"glyphreel"}));
  EXPECT_FALSE(parse_arguments(command_line({"1"})).has_value());
  EXPECT_FALSE(parse_arguments(command_line({"1", "2", "cdg", "x"})));
  // The count is checked before any argument is looked at.
  EXPECT_FALSE(parse_arguments(command_line({"bad", "bad", "bad", "bad"})));

  const auto eight = parse_arguments(command_line({"3", "4"}));
  ASSERT_TRUE(eight.has_value());
  EXPECT_EQ(eight->img_path, "d.img");
  EXPECT_EQ(eight->toc_path, "d.toc");
  EXPECT_EQ(eight->raw_path, "t.raw");
  EXPECT_EQ(eight->ffmpeg_path, "ffmpeg");
  EXPECT_EQ(eight->mp4_path, "o.mp4");
  EXPECT_EQ(eight->start_track, 3u);
  EXPECT_EQ(eight->end_track, 4u);
  EXPECT_FALSE(eight->extended_graphics);

  EXPECT_TRUE(
      parse_arguments(command_line({"1", "1", "cdeg"}))->extended_graphics);
  EXPECT_FALSE(
      parse_arguments(command_line({"1", "1", "cdg"}))->extended_graphics);
}

TEST(ParseArguments, PathsAreKeptAsTheyCame) {
  // Paths are bytes: not text, not validated.
  const std::vector<NativeString> argv = {"g", "a b\xff", "\n", "", "r",
                                          "f", "m",       "1",  "1"};
  const auto parsed = parse_arguments(argv);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->img_path, "a b\xff");
  EXPECT_EQ(parsed->cdg_path, "\n");
  EXPECT_EQ(parsed->toc_path, "");
}

TEST(ParseArguments, TrackNumbersAreCheckedInOrderBeforeTheMode) {
  EXPECT_EQ(report_of(command_line({"x", "", "CDG"})),
            "start_track \"x\" is not a track number: InvalidDigit");
  EXPECT_EQ(report_of(command_line({"1", "", "CDG"})),
            "end_track \"\" is not a track number: Empty");
  EXPECT_EQ(report_of(command_line({"0", "x"})),
            "start_track must be 1 or more, as tracks are counted from 1, "
            "but is 0");
  EXPECT_EQ(report_of(command_line({"1", "+0"})),
            "end_track must be 1 or more, as tracks are counted from 1, but "
            "is 0");
  EXPECT_EQ(report_of(command_line({"\xff", "1"})),
            "start_track is not valid Unicode text");
}

TEST(ParseArguments, ModeIsComparedByteForByte) {
  EXPECT_EQ(report_of(command_line({"1", "1", "CDG"})),
            "unknown mode \"CDG\", expected \"cdg\" or \"cdeg\"");
  EXPECT_EQ(report_of(command_line({"1", "1", "cdg "})),
            "unknown mode \"cdg \", expected \"cdg\" or \"cdeg\"");
  EXPECT_EQ(report_of(command_line({"1", "1", "\xc3\x28"})),
            "bad unicode in mode");
}

}  // namespace
}  // namespace glyphreel
