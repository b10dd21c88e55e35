#include "import/text_lines.hpp"

namespace glyphreel {

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
