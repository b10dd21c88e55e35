#include "base/text.hpp"

#include <limits>

namespace glyphreel {

namespace {

// Decodes one code point of valid UTF-8 at text[i] and advances i.
char32_t next_code_point(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  char32_t code_point = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
  for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
    code_point =
        (code_point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  i += length;
  return code_point;
}

// Control and invisible formatting characters; everything else, non-ASCII
// letters included, stands as it is in a report.
bool is_printable(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  if (c == 0xAD || c == 0x61C || c == 0x180E || c == 0xFEFF) return false;
  if (c >= 0x200B && c <= 0x200F) return false;
  if (c >= 0x2028 && c <= 0x202E) return false;
  if (c >= 0x2060 && c <= 0x206F) return false;
  if (c >= 0xFFF0 && c <= 0xFFFB) return false;
  if (c >= 0xE0000 && c <= 0xE007F) return false;
  return true;
}

std::string hex(char32_t value) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return out;
}

}  // namespace

std::string_view name(NumberFault fault) {
  switch (fault) {
    case NumberFault::Empty:
      return "Empty";
    case NumberFault::InvalidDigit:
      return "InvalidDigit";
    case NumberFault::PosOverflow:
      return "PosOverflow";
  }
  return "?";
}

ParsedNumber parse_decimal_u64(std::string_view text) {
  if (text.empty()) return {0, NumberFault::Empty};
  if (text == "+" || text == "-") return {0, NumberFault::InvalidDigit};
  if (text.front() == '+') text.remove_prefix(1);
  constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return {0, NumberFault::InvalidDigit};
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (max - digit) / 10) return {0, NumberFault::PosOverflow};
    value = value * 10 + digit;
  }
  return {value, std::nullopt};
}

std::string quote_argument(std::string_view utf8_text) {
  std::string out = "\"";
  std::size_t i = 0;
  while (i < utf8_text.size()) {
    const std::size_t start = i;
    const char32_t c = next_code_point(utf8_text, i);
    switch (c) {
      case U'"':
        out += "\\\"";
        break;
      case U'\\':
        out += "\\\\";
        break;
      case U'\t':
        out += "\\t";
        break;
      case U'\r':
        out += "\\r";
        break;
      case U'\n':
        out += "\\n";
        break;
      case U'\0':
        out += "\\0";
        break;
      default:
        if (is_printable(c)) {
          out.append(utf8_text.substr(start, i - start));
        } else {
          out += "\\u{" + hex(c) + "}";
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace glyphreel
