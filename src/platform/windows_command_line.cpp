#include "platform/windows_command_line.hpp"

#include <cstddef>

namespace glyphreel::platform {

namespace {

bool needs_quotes(std::wstring_view argument) {
  return argument.empty() ||
         argument.find_first_of(L" \t\n\v\"") != std::wstring_view::npos;
}

}  // namespace

std::wstring quote_windows_argument(std::wstring_view argument) {
  if (!needs_quotes(argument)) return std::wstring(argument);

  // Backslashes are literal unless a run of them ends at a double quote:
  // there 2n backslashes give n and the quote ends or starts a quoted part,
  // while 2n + 1 give n and a literal quote.
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(2 * backslashes + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // The closing quote follows: the run before it must be doubled.
  quoted.append(2 * backslashes, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring windows_command_line(std::wstring_view program,
                                  const std::vector<std::wstring>& arguments) {
  std::wstring line = L"\"";
  line += program;
  line += L'"';
  for (const std::wstring& argument : arguments) {
    line += L' ';
    line += quote_windows_argument(argument);
  }
  return line;
}

}  // namespace glyphreel::platform
