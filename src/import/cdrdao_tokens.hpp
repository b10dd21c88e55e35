// The words of a cdrdao TOC file, each with its line: the statements and
// blocks of the file are read from this sequence, whatever lines they span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glyphreel {

struct TocToken {
  enum class Kind : std::uint8_t { Word, String, Open, Close, Comma, End };
  Kind kind = Kind::End;
  std::string text;  // a word as written; a string with its escapes decoded
  std::size_t line = 0;
  bool operator==(const TocToken&) const = default;
};

// Splits the file into words, quoted strings and the marks `{`, `}` and `,`,
// and ends with one End token on the last line that holds any. `//` starts
// a comment to the end of its line outside a string. A string runs to the
// next unescaped quote on its line; `\"` and `\\` stand for the quote and the
// backslash, and `\` with one to three octal digits for that byte. A word is
// a run of anything else but blanks; CR, tabs and form feeds are blanks.
// Refuses, naming the line: an unterminated string, an escape that is no
// byte, a NUL or other control byte outside a string.
std::vector<TocToken> toc_tokens(std::string_view text,
                                 std::string_view toc_name);

// How a token is shown in a refusal: a word as written and a string in
// quotes, both escaped as base/text.hpp does (they come from the file),
// a mark as itself, the end as "the end of the file".
std::string shown(const TocToken& token);

}  // namespace glyphreel
