// Text that every program reads or writes alike: unsigned decimal numbers,
// and text from arguments or files quoted for a report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glyphreel {

// Why a text is not an unsigned 64-bit decimal number.
enum class NumberFault : std::uint8_t { Empty, InvalidDigit, PosOverflow };

std::string_view name(NumberFault fault);

// Reads an unsigned 64-bit decimal number: one optional leading '+', then
// ASCII digits only. The first fault met from left to right decides.
struct ParsedNumber {
  std::uint64_t value = 0;
  std::optional<NumberFault> fault;
};
ParsedNumber parse_decimal_u64(std::string_view text);

// The code point of the strict UTF-8 sequence at text[i], i moved past it;
// nothing, i where it was, when the bytes there begin none: a stray
// continuation byte, an overlong form, a surrogate, a value past U+10FFFF,
// a sequence cut short. REQUIRES: i < text.size().
std::optional<char32_t> next_utf8_code_point(std::string_view text,
                                             std::size_t& i);

// The text between double quotes, as reports show an argument or a name
// read from a file: quotes and backslashes escaped, control and invisible
// formatting characters as \u{1b}, and each byte that is not part of valid
// UTF-8 as \x{ff}, so that nothing from the text can act on a terminal.
std::string quote_argument(std::string_view text);

// The same escapes without the quotes around, and quotes left as they are:
// for words from an input file that a report shows in their own place,
// "unknown command \u{1b}]0;x", "[Entry \x{ff}] has no PLBA".
std::string escape_text(std::string_view text);

}  // namespace glyphreel
