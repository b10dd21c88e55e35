// Making one song's video through two ffmpeg children: the first counts the
// audio's samples, the second takes the frames on its standard input.
#pragma once

#include <cstdint>
#include <span>

#include "encoder/library_encoder.hpp"
#include "packs/pack_loop.hpp"

namespace glyphreel {

// The audio's length in 44100 Hz samples, decoded by ffmpeg. Its messages
// go to a new file at `log_path`, removed again when it succeeds; a failure
// is a FatalError with the last of them.
std::uint64_t audio_samples(const NativeString& ffmpeg_path,
                            const NativeString& audio_path,
                            const NativeString& log_path);

// Hands frames on to the encoder and keeps a copy of the one at index
// `last_index`, so that it can be held to the end of the video.
class HoldingSink : public FrameSink {
 public:
  HoldingSink(FrameSink& next, std::uint64_t last_index)
      : next_(next), last_index_(last_index) {}

  void write_frame(const RgbFrame& frame) override;

  // Writes the kept frame (or `blank` when none was written) until
  // `frames` frames have been written in all.
  void hold_until(std::uint64_t frames, const RgbFrame& blank);

  std::uint64_t written() const { return written_; }

 private:
  FrameSink& next_;
  std::uint64_t last_index_;
  std::uint64_t written_ = 0;
  std::optional<RgbFrame> kept_;
};

// Writes the video: the graphics decoded by the pack loop (in "cdeg" mode
// when they hold mode-10 packs), the last frame held until the video is as
// long as the longer of graphics and audio. Returns the frames written. A
// failure of either child is a FatalError with ffmpeg's last message; both
// children have ended when it returns or throws.
std::uint64_t make_song_video(const NativeString& ffmpeg_path,
                              const LibraryVideo& video,
                              std::span<const std::uint8_t> graphics,
                              const NativeString& log_path);

}  // namespace glyphreel
