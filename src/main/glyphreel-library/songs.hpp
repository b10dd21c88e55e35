// The songs command: a disc's tracks that carry graphics cut into song
// files, each its packs as a .cdg and its audio encoded by an ffmpeg child,
// zipped together or side by side.
#pragma once

#include "main/glyphreel-library/command_line.hpp"

namespace glyphreel {

// Reads the names sheet and the disc's three dumps, refuses outputs that
// exist, then writes the chosen tracks' songs one after another, reporting
// a line per track on standard output and the summary on standard error.
// Returns 0 when every track with graphics was written and 1 when any
// failed; a failed track leaves no file. A failure of the run itself is a
// FatalError, after everything the run wrote has been removed again.
int run_songs(const DiscSongsArguments& arguments);

}  // namespace glyphreel
