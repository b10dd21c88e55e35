// Finding a collection's songs on disk: the SOURCE folders walked, the
// named files looked at, the zips' directories read, and the whole handed
// to the song scanner.
#pragma once

#include <span>

#include "library/song_scan.hpp"

namespace glyphreel {

// Every song below or named by the sources, in name order, and everything
// found that is no song. A source that cannot be read is a failure of its
// own; so is a zip whose directory is damaged.
SongScan scan_collection(std::span<const NativeString> sources);

}  // namespace glyphreel
