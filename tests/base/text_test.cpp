#include "base/text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace glyphreel {
namespace {

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

TEST(QuoteArgument, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(quote_argument("cdg"), "\"cdg\"");
  EXPECT_EQ(quote_argument("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(quote_argument(std::string("\t\r\n\0", 4)), "\"\\t\\r\\n\\0\"");
  EXPECT_EQ(quote_argument("\x1b[m\x7f"), "\"\\u{1b}[m\\u{7f}\"");
  EXPECT_EQ(quote_argument("\xc2\x85"), "\"\\u{85}\"");  // C1 control
  EXPECT_EQ(quote_argument("\xe2\x80\x8b"),
            "\"\\u{200b}\"");  // zero-width space
  EXPECT_EQ(quote_argument("caf\xc3\xa9 \xe6\x97\xa5"),
            "\"caf\xc3\xa9 \xe6\x97\xa5\"");
}

TEST(QuoteArgument, ShowsBytesThatAreNotUtf8ByTheirValue) {
  // A stray continuation byte, a lead byte cut short, an overlong '/', a
  // surrogate, a value past U+10FFFF: each byte of them on its own.
  const std::pair<std::string, std::string> cases[] = {
      {"\xff", "\\x{ff}"},
      {"a\x80"
       "b",
       "a\\x{80}b"},
      {"caf\xc3", "caf\\x{c3}"},
      {"\xc3(", "\\x{c3}("},
      {"\xc0\xaf", "\\x{c0}\\x{af}"},
      {"\xed\xa0\x80", "\\x{ed}\\x{a0}\\x{80}"},
      {"\xf4\x90\x80\x80", "\\x{f4}\\x{90}\\x{80}\\x{80}"},
      {"\xe9\x1b]0;t\x07", "\\x{e9}\\u{1b}]0;t\\u{7}"},
  };
  for (const auto& [text, body] : cases) {
    EXPECT_EQ(quote_argument(text), '"' + body + '"');
    EXPECT_EQ(escape_text(text), body);
  }
  // Without the quotes around, quotes stay; backslashes are still doubled.
  EXPECT_EQ(escape_text("\"a\\b\""), "\"a\\\\b\"");
}

}  // namespace
}  // namespace glyphreel
