// Input files that more than one program reads alike: small text files
// such as cue sheets, within a bound, and the disc's table of contents,
// checked against the lengths of the disc's two dumps.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "disc/toc.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

// No cue sheet or control file comes near this; a larger file is something
// else (a BIN named by mistake) and is not read into memory.
inline constexpr std::uint64_t largest_text_file = 1 << 20;

// A small text file (a cue sheet, a control file) read whole; larger files
// than any such text are refused before they are read. `what` names the
// file in the reports.
std::string read_text_file(const platform::NativeString& path,
                           std::string_view what);

// Reads the table of contents at `path` (no more of it than can pass its
// length check), parses it and checks that both dumps, of `img_sectors` and
// `cdg_sectors` sectors, reach its lead-out. Each failure is a fatal stop.
std::vector<TrackLbaRange> read_disc_toc(const platform::NativeString& path,
                                         std::uint64_t img_sectors,
                                         std::uint64_t cdg_sectors);

}  // namespace glyphreel
