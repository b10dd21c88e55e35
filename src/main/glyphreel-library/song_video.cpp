#include "main/glyphreel-library/song_video.hpp"

#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "library/plan.hpp"
#include "main/glyphreel-library/ffmpeg_child.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

namespace {

void remove_log(const NativeString& log_path) {
  platform::delete_file(log_path, "remove " + platform::display_path(log_path));
}

// The encoder child as the pack loop's sink.
class EncoderInput : public FrameSink {
 public:
  explicit EncoderInput(platform::ChildProcess& child) : child_(child) {}
  void write_frame(const RgbFrame& frame) override {
    platform::write_to_child(child_, frame.bytes(), "write frame");
  }

 private:
  platform::ChildProcess& child_;
};

}  // namespace

std::uint64_t audio_samples(const NativeString& ffmpeg_path,
                            const NativeString& audio_path,
                            const NativeString& log_path) {
  platform::OutputChild child = platform::spawn_logged_with_output_pipe(
      ffmpeg_path, audio_length_arguments(audio_path), log_path,
      "spawn ffmpeg child");
  std::uint64_t bytes = 0;
  std::vector<std::uint8_t> buffer(1 << 16);
  try {
    for (;;) {
      const std::size_t got =
          platform::read_from_child(child, buffer, "read from ffmpeg child");
      bytes += got;
      if (got < buffer.size()) break;
    }
  } catch (...) {
    platform::close_child_output(child);
    platform::wait_for_child(child.process, "wait on ffmpeg child");
    throw;
  }
  platform::close_child_output(child);
  const platform::ExitStatus status =
      platform::wait_for_child(child.process, "wait on ffmpeg child");
  if (!status.success()) {
    child_failed("could not decode the audio", status, log_path);
  }
  remove_log(log_path);
  return bytes / 2;  // 16-bit mono
}

std::uint64_t make_song_video(const NativeString& ffmpeg_path,
                              const LibraryVideo& video,
                              std::vector<std::uint8_t> graphics,
                              const NativeString& log_path) {
  const std::uint64_t samples =
      audio_samples(ffmpeg_path, video.audio_path, log_path);
  const std::uint64_t frames =
      video_frames(graphics.size() / pack_size, samples);
  if (frames == 0) {
    throw FatalError("neither the audio nor the graphics hold anything");
  }
  platform::ChildProcess child = platform::spawn_logged_with_input_pipe(
      ffmpeg_path, library_encoder_arguments(video), log_path,
      "spawn ffmpeg child");
  // Idle packs change nothing: the loop hands the last frame on again.
  const bool extended = has_extended_graphics(graphics);
  graphics.resize(frames * packs_per_frame * pack_size, 0);
  EncoderInput encoder(child);
  feed_child(child, log_path,
             [&] { run_pack_loop(graphics, extended, encoder); });
  remove_log(log_path);
  return frames;
}

}  // namespace glyphreel
