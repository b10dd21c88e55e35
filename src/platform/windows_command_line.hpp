// The command line of a Windows child process. Windows hands a new process
// one string, which the child's C runtime splits back into arguments; these
// functions build that string so the split gives exactly the arguments we
// meant. Pure functions, built and tested on every platform.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glyphreel::platform {

// One argument as it must stand in a command line: unchanged when it holds
// no blank, tab, line break or double quote and is not empty; otherwise
// between double quotes, each quote preceded by a backslash and the
// backslashes in front of a quote or of the closing quote doubled.
std::wstring quote_windows_argument(std::wstring_view argument);

// The program between double quotes (a Windows path holds no quote and its
// backslashes are taken literally there), then each argument quoted as
// above, separated by single blanks.
std::wstring windows_command_line(std::wstring_view program,
                                  const std::vector<std::wstring>& arguments);

}  // namespace glyphreel::platform
