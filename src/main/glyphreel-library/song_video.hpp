// Making one song's video through two ffmpeg children: the first counts the
// audio's samples, the second takes the frames on its standard input.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/library_encoder.hpp"
#include "packs/pack_loop.hpp"

namespace glyphreel {

// The audio's length in 44100 Hz samples, decoded by ffmpeg. Its messages
// go to a new file at `log_path`, removed again when it succeeds; a failure
// is a FatalError with the last of them.
std::uint64_t audio_samples(const NativeString& ffmpeg_path,
                            const NativeString& audio_path,
                            const NativeString& log_path);

// Writes the video: the graphics (whole packs) decoded by the pack loop, in
// "cdeg" mode when they hold mode-10 packs, and followed by idle packs until
// the video is as long as the longer of graphics and audio, so that the
// last picture stays as glyphreel shows it on a disc with silence after
// the song. Returns the frames written. A failure of either child is a
// FatalError with ffmpeg's last message; both children have ended when it
// returns or throws.
std::uint64_t make_song_video(const NativeString& ffmpeg_path,
                              const LibraryVideo& video,
                              std::vector<std::uint8_t> graphics,
                              const NativeString& log_path);

}  // namespace glyphreel
