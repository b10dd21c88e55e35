// One song of a library run, from its files to its video renamed into
// place: skipped when its video exists or another worker is making it,
// failed with a reason, or converted.
#pragma once

#include "library/outputs.hpp"
#include "library/report.hpp"
#include "library/song_scan.hpp"

namespace glyphreel {

struct ConvertSettings {
  NativeString out_folder;
  NativeString ffmpeg_path;
  unsigned scale = 2;
  bool pad_16_9 = false;
  unsigned encoder_threads = 0;  // as LibraryVideo's
  TemporaryOwner owner;          // this run: host, process, own number
};

// Converts the song. Never throws a FatalError: every failure is the
// result's reason. Every child started has ended, and every temporary is
// gone, when it returns.
SongResult convert_song(const Song& song, const ConvertSettings& settings);

// Removes the temporaries in `folder` that runs of this host left when
// they ended, before this run writes any; a failure to remove one is
// returned as a warning text. A folder that does not exist has none.
std::vector<std::string> clear_stale_temporaries(const NativeString& folder,
                                                 const TemporaryOwner& owner);

}  // namespace glyphreel
