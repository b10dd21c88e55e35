// One run of glyphreel-library, from the argument vector to the exit status.
#pragma once

#include <span>

#include "main/glyphreel-library/command_line.hpp"

namespace glyphreel {

// Parses the arguments and runs the command. A wrong command line prints
// the usage to standard error and returns 2. A failure of the run itself
// reports "glyphreel-library: <reason>" on standard error and returns 1; so
// does a run in which any song failed, after the summary.
int run_library(std::span<const NativeString> argv);

}  // namespace glyphreel
