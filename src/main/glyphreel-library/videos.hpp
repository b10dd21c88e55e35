// The videos command: a collection's songs found, listed or converted by
// several workers at once.
#pragma once

#include "main/glyphreel-library/command_line.hpp"

namespace glyphreel {

// Finds the songs and lists them (--list) or converts this worker's share.
// Returns 0 when no song failed and 1 when any did; a failure of the run
// itself (the output folder, the results file) is a FatalError.
int run_videos(const VideosArguments& arguments);

}  // namespace glyphreel
