#include "import/text_lines.hpp"

#include "disc/toc.hpp"

namespace glyphreel {

std::optional<std::uint64_t> parse_digits(std::string_view text,
                                          std::size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

std::string upper_ascii(std::string_view word) {
  std::string result(word);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

std::optional<std::uint64_t> parse_msf(std::string_view text) {
  constexpr std::uint64_t seconds_per_minute = 60;
  const std::size_t first = text.find(':');
  const std::size_t second =
      first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto minutes = parse_digits(text.substr(0, first), 5);
  const auto seconds =
      parse_digits(text.substr(first + 1, second - first - 1), 2);
  const auto frames = parse_digits(text.substr(second + 1), 2);
  if (!minutes || !seconds || !frames || *seconds >= seconds_per_minute ||
      *frames >= sectors_per_second) {
    return std::nullopt;
  }
  return (*minutes * seconds_per_minute + *seconds) * sectors_per_second +
         *frames;
}

std::string two_digits(std::uint64_t number) {
  // Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict)
  // about a literal added to a temporary string.
  std::string text(number < 10 ? 1 : 0, '0');
  text += std::to_string(number);
  return text;
}

FatalError refusal(std::string_view file_name, std::size_t line,
                   std::string_view why) {
  std::string where(file_name);
  if (line != 0) where += " line " + std::to_string(line);
  return FatalError(where + ": " + std::string(why));
}

}  // namespace glyphreel
