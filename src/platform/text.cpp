#include "platform/text.hpp"

#include <cstdint>

#include "base/text.hpp"

namespace glyphreel::platform {

namespace {

void append_utf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (!next_utf8_code_point(bytes, i)) return false;
  }
  return true;
}

std::optional<std::string> utf8_from_utf16(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == units.size()) return std::nullopt;
      const char32_t low = units[i + 1];
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    append_utf8(out, unit);
  }
  return out;
}

std::string utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    // The longest valid sequence starting here, if any.
    std::size_t length = 1;
    while (length <= 4 && i + length <= bytes.size() &&
           !is_valid_utf8(bytes.substr(i, length))) {
      ++length;
    }
    if (length <= 4 && i + length <= bytes.size()) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      append_utf8(out, U'\uFFFD');
      ++i;
    }
  }
  return out;
}

}  // namespace glyphreel::platform
