// What the readers of cue sheets and CloneCD control files share: text taken
// line by line, and refusals that name the file and the line; and the
// two-digit numbers of track times and track numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/fatal_error.hpp"

namespace glyphreel {

inline bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Calls take(number, line) for every line of the text, numbered from 1,
// without its LF or CRLF end; a UTF-8 byte order mark before the first line
// is dropped. A last line without an end is still a line.
template <typename Take>
void for_each_line(std::string_view text, Take take) {
  constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
  if (text.starts_with(utf8_bom)) text.remove_prefix(utf8_bom.size());
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    take(++number, line);
  }
}

// "07": at least two digits.
std::string two_digits(std::uint64_t number);

// The word in upper case, ASCII letters only: keywords are read without
// regard to case.
std::string upper_ascii(std::string_view word);

// A number of one to max_digits decimal digits, nothing else.
std::optional<std::uint64_t> parse_digits(std::string_view text,
                                          std::size_t max_digits);

// mm:ss:ff as sectors (75 a second): minutes of one to five digits,
// seconds below 60 and frames below 75 of one or two; nothing else.
std::optional<std::uint64_t> parse_msf(std::string_view text);

// "disc.cue line 7: why", or "disc.cue: why" for line 0, when what is
// missing has no line of its own.
FatalError refusal(std::string_view file_name, std::size_t line,
                   std::string_view why);

}  // namespace glyphreel
