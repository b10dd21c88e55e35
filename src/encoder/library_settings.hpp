// The video settings of glyphreel-library, in one place: the H.264 encoding
// of every song's video, the AAC encoding of audio that MP4 cannot hold as
// it is, and how many songs are converted at once by default. glyphreel's
// own encoder arguments (encoder.hpp) do not use these.
#pragma once

#include <algorithm>
#include <string_view>

namespace glyphreel {

// libx264 as the encoder. The frames change little between frames and are
// made of flat colours and hard edges: "animation" tuning suits them, and
// "veryfast" with a constant quality of 20 keeps the lettering sharp at a
// fraction of the default preset's time. 4:2:0 plays everywhere.
inline constexpr std::string_view library_video_arguments[] = {
    "-c:v", "libx264", "-preset",   "veryfast", "-crf",
    "20",   "-tune",   "animation", "-pix_fmt", "yuv420p",
};

// Audio that is not MP3 or AAC becomes AAC (ffmpeg's own encoder).
inline constexpr std::string_view library_audio_encode_arguments[] = {
    "-c:a", "aac", "-b:a", "192k"};

// Songs converted at once unless -j says otherwise: one per processor,
// each driving its own encoder child.
inline unsigned default_job_count(unsigned processors) {
  return std::max(processors, 1U);
}

}  // namespace glyphreel
