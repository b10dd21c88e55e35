// The encoder child: the chosen tracks' audio in a temporary raw file, the
// frames through a pipe into its standard input.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packs/pack_loop.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

// The three paths the encoder child needs: its program, the raw audio file
// it reads and the video it writes.
using platform::NativeString;

struct EncoderPaths {
  NativeString ffmpeg_path;
  NativeString raw_path;
  NativeString mp4_path;
};

// Creates the file at raw_path (never over anything already there, nor
// through a link) and writes the audio sectors to it unchanged.
void write_raw_audio(const NativeString& raw_path,
                     std::span<const std::uint8_t> audio);

// The 25 encoder arguments: raw RGB24 video at 312x216 and 60 fps on stdin,
// the raw file as 16-bit stereo PCM at 44100 Hz, H.264 scaled to 624x432.
// The raw and mp4 paths go as literal_path_argument gives them.
std::vector<NativeString> encoder_arguments(const EncoderPaths& paths);

// The running encoder and the write end of the pipe into it. Nothing in its
// life cycle waits, kills or deletes on its own: only finish_encoder does.
class EncoderProcess : public FrameSink {
 public:
  explicit EncoderProcess(platform::ChildProcess child) : child_(child) {}

  // Writes the whole frame; a failure is the fatal stop "write frame".
  void write_frame(const RgbFrame& frame) override;

  platform::ChildProcess& child() { return child_; }

 private:
  platform::ChildProcess child_;
};

EncoderProcess start_encoder(const EncoderPaths& paths);

// Closes the encoder's input, waits for it, deletes the raw file. An encoder
// that failed then makes the run fail, after the clean-up.
void finish_encoder(EncoderProcess& encoder, const NativeString& raw_path);

}  // namespace glyphreel
