#include "base/text.hpp"

#include <limits>

namespace glyphreel {

namespace {

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

std::optional<char32_t> next_utf8_code_point(std::string_view text,
                                             std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  std::size_t length = 0;
  char32_t code_point = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code_point = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code_point = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code_point = lead & 0x07, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - i < length) return std::nullopt;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    code_point = (code_point << 6) | (next & 0x3F);
  }
  if (code_point < smallest || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return std::nullopt;
  }
  i += length;
  return code_point;
}

namespace {

// The text with every byte that could act on a terminal escaped; quotes are
// escaped too when the text stands between them.
std::string escaped(std::string_view text, bool quoted) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    const std::optional<char32_t> c = next_utf8_code_point(text, i);
    if (!c) {
      // One byte that begins no character, shown by its value.
      out += "\\x{" + hex(static_cast<unsigned char>(text[i])) + "}";
      ++i;
      continue;
    }
    switch (*c) {
      case U'"':
        out += quoted ? "\\\"" : "\"";
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
        if (is_printable(*c)) {
          out.append(text.substr(start, i - start));
        } else {
          out += "\\u{" + hex(*c) + "}";
        }
    }
  }
  return out;
}

}  // namespace

std::string quote_argument(std::string_view text) {
  return '"' + escaped(text, true) + '"';
}

std::string escape_text(std::string_view text) { return escaped(text, false); }

}  // namespace glyphreel
