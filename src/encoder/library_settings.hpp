// The video settings of glyphreel-library, in one place: the H.264 encoding
// of every song's video, the AAC encoding of audio that MP4 cannot hold as
// it is, how many songs are converted at once by default and how many
// threads each song's encoder uses. glyphreel's own encoder arguments
// (encoder.hpp) do not use these. bench/library_timing.sh measures them.
#pragma once

#include <algorithm>
#include <string_view>

namespace glyphreel {

// libx264, chosen by converting generated three-minute lyric songs at
// 624 x 432 on a two-processor machine shared with other work: each setting
// timed by the CPU seconds per song minute of the whole process tree
// (repeated, as other work makes them vary by up to a fifth) and judged by
// file size and by the mean SSIM of the video against the exact frames
// scaled with nearest neighbour. The ffmpeg one-liner on the same songs
// takes about 60 CPU seconds per song minute and makes 8.7 MB per song.
// - "veryfast": 5 to 8 CPU seconds per song minute, 5.5 MB per song (the
//   MP3 audio, copied, is 4.3 MB of it), SSIM 0.997. "superfast" takes 4 to
//   5.7 but makes 7 to 12 % larger files, and glyphreel-library's own CPU
//   time (about 0.25 s per song minute: composing and piping the frames)
//   comes to 3.8 to 5.3 % of the whole; "ultrafast" takes 4, is over 5 %
//   (6 %) and makes more than twice the video. "faster" to "medium" take
//   9.5 to 11.5 for at most 0.0015 more SSIM.
// - Constant quality 20: at 23 the SSIM falls to 0.996 for 3 % less size.
// - "animation" tuning for flat colours and hard edges: without it, or with
//   "stillimage", the size and SSIM differ by under 2 %.
// - A keyframe every 600 frames (10 s) instead of 250: most frames repeat
//   the last, so keyframes are much of the video; 8 % smaller files at an
//   SSIM 0.0007 lower.
// - 4:2:0 plays on every player. From --scale 2 up each source pixel is 2 x
//   2 or more, so the colour of every source pixel is kept; at --scale 1
//   colour edges soften (SSIM 0.96 against the exact frames in 4:4:4
//   colour, where 4:4:4 video gives 0.985 for 40 % more CPU time, but many
//   players, TVs and phones among them, cannot play 4:4:4).
inline constexpr std::string_view library_video_arguments[] = {
    "-c:v",  "libx264",   "-preset", "veryfast", "-crf",     "20",
    "-tune", "animation", "-g",      "600",      "-pix_fmt", "yuv420p",
};

// Audio that is not MP3 or AAC becomes AAC (ffmpeg's own encoder).
inline constexpr std::string_view library_audio_encode_arguments[] = {
    "-c:a", "aac", "-b:a", "192k"};

// Songs converted at once unless -j says otherwise: one per processor.
// Measured on two processors with four songs, twice: one song at a time
// with x264's own threads converts about 270 songs an hour and two about
// 350, as x264's frame threads cost about 20 % more CPU per song; two
// songs with single-threaded encoders convert the most, about 425 an hour;
// three only contend (about 375).
inline unsigned default_job_count(unsigned processors) {
  return std::max(processors, 1U);
}

// The encoder's thread count, for `songs_at_once` songs on `processors`:
// 1 when the songs fill the processors (see default_job_count), otherwise
// 0, which lets x264 spread one song over the idle ones.
inline unsigned encoder_thread_count(unsigned processors,
                                     unsigned songs_at_once) {
  return songs_at_once >= processors ? 1 : 0;
}

}  // namespace glyphreel
