// Reading the three disc dumps and checking them against each other and
// against the table of contents, up to the chosen track numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "disc/toc.hpp"
#include "main/glyphreel/command_line.hpp"

namespace glyphreel {

// The whole files, kept for the whole run; spans are cut from them in place.
struct LoadedInputs {
  std::vector<std::uint8_t> img;
  std::vector<std::uint8_t> cdg;
  std::vector<TrackLbaRange> track_lba_ranges;
};

// Reads and checks in a fixed order, each failure a fatal stop before any
// later file is opened: image, its length, subcode dump, its length, table
// of contents, its parse, the lead-out against both dumps, the track numbers.
LoadedInputs load_inputs(const RunArguments& arguments);

}  // namespace glyphreel
