#include "main/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "base/fatal_error.hpp"

namespace glyphreel {
namespace {

std::vector<NativeString> command_line(std::vector<NativeString> tail) {
  std::vector<NativeString> argv = {"glyphreel", "d.img", "d.cdg", "d.toc",
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

  EXPECT_TRUE(parse_arguments(command_line({"1", "1", "cdeg"}))
                  ->extended_graphics);
  EXPECT_FALSE(parse_arguments(command_line({"1", "1", "cdg"}))
                   ->extended_graphics);
}

TEST(ParseArguments, PathsAreKeptAsTheyCame) {
  // Paths are bytes: not text, not validated.
  const std::vector<NativeString> argv = {"g", "a b\xff", "\n", "", "r",
                                          "f", "m", "1", "1"};
  const auto parsed = parse_arguments(argv);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->img_path, "a b\xff");
  EXPECT_EQ(parsed->cdg_path, "\n");
  EXPECT_EQ(parsed->toc_path, "");
}

TEST(ParseDecimal, AcceptsDigitsWithOneLeadingPlus) {
  EXPECT_EQ(parse_decimal_u64("5").value, 5u);
  EXPECT_EQ(parse_decimal_u64("+5").value, 5u);
  EXPECT_EQ(parse_decimal_u64("05").value, 5u);
  EXPECT_EQ(parse_decimal_u64("007").value, 7u);
  EXPECT_EQ(parse_decimal_u64("+0").value, 0u);
  const ParsedNumber max = parse_decimal_u64("18446744073709551615");
  EXPECT_FALSE(max.fault.has_value());
  EXPECT_EQ(max.value, 18446744073709551615u);
}

TEST(ParseDecimal, NamesTheFirstFaultMet) {
  const auto fault = [](std::string_view text) {
    return parse_decimal_u64(text).fault;
  };
  EXPECT_EQ(fault(""), NumberFault::Empty);
  EXPECT_EQ(fault("+"), NumberFault::InvalidDigit);
  EXPECT_EQ(fault("-"), NumberFault::InvalidDigit);
  EXPECT_EQ(fault("-5"), NumberFault::InvalidDigit);
  EXPECT_EQ(fault(" 5"), NumberFault::InvalidDigit);
  EXPECT_EQ(fault("5 "), NumberFault::InvalidDigit);
  EXPECT_EQ(fault("++5"), NumberFault::InvalidDigit);
  EXPECT_EQ(fault("1_000"), NumberFault::InvalidDigit);
  EXPECT_EQ(fault("0x10"), NumberFault::InvalidDigit);
  EXPECT_EQ(fault("18446744073709551616"), NumberFault::PosOverflow);
  EXPECT_EQ(fault("99999999999999999999a"), NumberFault::PosOverflow);
  EXPECT_EQ(fault("9a9999999999999999999"), NumberFault::InvalidDigit);
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

TEST(QuoteArgument, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(quote_argument("cdg"), "\"cdg\"");
  EXPECT_EQ(quote_argument("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(quote_argument(std::string("\t\r\n\0", 4)), "\"\\t\\r\\n\\0\"");
  EXPECT_EQ(quote_argument("\x1b[m\x7f"), "\"\\u{1b}[m\\u{7f}\"");
  EXPECT_EQ(quote_argument("\xc2\x85"), "\"\\u{85}\"");          // C1 control
  EXPECT_EQ(quote_argument("\xe2\x80\x8b"), "\"\\u{200b}\"");    // zero-width space
  EXPECT_EQ(quote_argument("caf\xc3\xa9 \xe6\x97\xa5"), "\"caf\xc3\xa9 \xe6\x97\xa5\"");
}

}  // namespace
}  // namespace glyphreel
