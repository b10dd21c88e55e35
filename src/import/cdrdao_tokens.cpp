#include "import/cdrdao_tokens.hpp"

#include "base/text.hpp"
#include "import/text_lines.hpp"

namespace glyphreel {

namespace {

bool is_toc_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

bool is_mark(char c) { return c == '{' || c == '}' || c == ',' || c == '"'; }

bool is_octal(char c) { return c >= '0' && c <= '7'; }

// Reads the string whose opening quote is at line[start]; returns the
// index after its closing quote.
std::size_t read_string(std::string_view line, std::size_t start,
                        std::string& text, std::size_t number,
                        std::string_view toc_name) {
  std::size_t i = start + 1;
  while (i < line.size() && line[i] != '"') {
    if (line[i] != '\\') {
      text += line[i++];
      continue;
    }
    ++i;
    if (i == line.size()) break;
    if (!is_octal(line[i])) {
      text += line[i++];
      continue;
    }
    unsigned value = 0;
    const std::size_t first = i;
    while (i < line.size() && i - first < 3 && is_octal(line[i])) {
      value = value * 8 + static_cast<unsigned>(line[i++] - '0');
    }
    if (value > 0xFF) {
      throw refusal(toc_name, number,
                    "escape \\" + std::string(line.substr(first, i - first)) +
                        " is not a byte");
    }
    text += static_cast<char>(value);
  }
  if (i >= line.size()) throw refusal(toc_name, number, "unterminated quote");
  return i + 1;
}

}  // namespace

std::vector<TocToken> toc_tokens(std::string_view text,
                                 std::string_view toc_name) {
  std::vector<TocToken> tokens;
  std::size_t last_line = 0;
  for_each_line(text, [&](std::size_t number, std::string_view line) {
    std::size_t i = 0;
    while (i < line.size()) {
      const char c = line[i];
      if (is_toc_blank(c)) {
        ++i;
      } else if (line.substr(i).starts_with("//")) {
        break;
      } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        throw refusal(toc_name, number,
                      "control byte " +
                          std::to_string(static_cast<unsigned char>(c)) +
                          " outside a string");
      } else if (c == '"') {
        TocToken token{TocToken::Kind::String, "", number};
        i = read_string(line, i, token.text, number, toc_name);
        tokens.push_back(std::move(token));
      } else if (is_mark(c)) {
        const auto kind = c == '{'   ? TocToken::Kind::Open
                          : c == '}' ? TocToken::Kind::Close
                                     : TocToken::Kind::Comma;
        tokens.push_back({kind, std::string(1, c), number});
        ++i;
      } else {
        const std::size_t start = i;
        while (i < line.size() && !is_toc_blank(line[i]) && !is_mark(line[i]) &&
               !line.substr(i).starts_with("//") &&
               static_cast<unsigned char>(line[i]) >= 0x20 && line[i] != 0x7F) {
          ++i;
        }
        tokens.push_back({TocToken::Kind::Word,
                          std::string(line.substr(start, i - start)), number});
      }
    }
    if (!tokens.empty()) last_line = tokens.back().line;
  });
  tokens.push_back({TocToken::Kind::End, "", last_line});
  return tokens;
}

std::string shown(const TocToken& token) {
  switch (token.kind) {
    case TocToken::Kind::String:
      return quote_argument(token.text);
    case TocToken::Kind::End:
      return "the end of the file";
    default:
      return escape_text(token.text);
  }
}

}  // namespace glyphreel
