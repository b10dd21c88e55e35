#include "import/text_lines.hpp"

#include <string>

namespace glyphreel {

FatalError refusal(std::string_view file_name, std::size_t line,
                   std::string_view why) {
  std::string where(file_name);
  if (line != 0) where += " line " + std::to_string(line);
  return FatalError(where + ": " + std::string(why));
}

}  // namespace glyphreel
