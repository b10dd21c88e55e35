#include "platform/text.hpp"

#include <gtest/gtest.h>

namespace glyphreel::platform {
namespace {

TEST(Utf8, AcceptsAsciiAndWellFormedSequences) {
  EXPECT_TRUE(is_valid_utf8(""));
  EXPECT_TRUE(is_valid_utf8("cdeg"));
  EXPECT_TRUE(is_valid_utf8("\xC3\xA9"));          // U+00E9
  EXPECT_TRUE(is_valid_utf8("\xE2\x82\xAC"));      // U+20AC
  EXPECT_TRUE(is_valid_utf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
}

TEST(Utf8, RejectsOverlongsSurrogatesAndOutOfRange) {
  EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(is_valid_utf8("\xE0\x80\xAF"));      // overlong "/"
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // U+D800
  EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(is_valid_utf8("\xFF"));
  EXPECT_FALSE(is_valid_utf8("\x80"));          // lone continuation
  EXPECT_FALSE(is_valid_utf8("\xE2\x82"));      // cut short
  EXPECT_FALSE(is_valid_utf8("\xE2\x28\xA1"));  // bad continuation
}

TEST(Utf16, ConvertsPairsAndRejectsUnpairedSurrogates) {
  EXPECT_EQ(utf8_from_utf16(u"cdg"), "cdg");
  EXPECT_EQ(utf8_from_utf16(u"\u00e9\u20ac"), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(utf8_from_utf16(u"\U0001F600"), "\xF0\x9F\x98\x80");
  const char16_t lone_high[] = {u'1', 0xD800, 0};
  const char16_t lone_low[] = {0xDC00, u'1', 0};
  const char16_t high_then_ascii[] = {0xD800, u'a', 0};
  EXPECT_FALSE(utf8_from_utf16(lone_high).has_value());
  EXPECT_FALSE(utf8_from_utf16(lone_low).has_value());
  EXPECT_FALSE(utf8_from_utf16(high_then_ascii).has_value());
}

TEST(Utf8Lossy, KeepsValidSequencesAndReplacesEachBadByte) {
  EXPECT_EQ(utf8_lossy("disc \xC3\xA9.bin"), "disc \xC3\xA9.bin");
  EXPECT_EQ(utf8_lossy("a\xFF"
                       "b"),
            "a\xEF\xBF\xBD"
            "b");
  // A sequence cut short: its lead byte alone is replaced, the next kept.
  EXPECT_EQ(utf8_lossy("\xE2\x82"
                       "c"),
            "\xEF\xBF\xBD\xEF\xBF\xBD"
            "c");
  EXPECT_EQ(utf8_lossy("\xF0\x9F\x98\x80\xC0"), "\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

}  // namespace
}  // namespace glyphreel::platform
