#include "main/glyphreel-library/song_video.hpp"

#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "library/plan.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

namespace {

// No message of ffmpeg's is longer; a log that grows past it is read no
// further.
constexpr std::size_t log_read_limit = 1 << 20;

// The last line ffmpeg wrote to its log, or "" when it wrote none.
std::string last_message(const NativeString& log_path) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = platform::read_file_head(log_path, log_read_limit, "").bytes;
  } catch (const FatalError&) {
    return {};
  }
  std::string text(bytes.begin(), bytes.end());
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  const std::size_t line_start = text.find_last_of("\r\n");
  return line_start == std::string::npos ? text : text.substr(line_start + 1);
}

void remove_log(const NativeString& log_path) {
  platform::delete_file(log_path, "remove " + platform::display_path(log_path));
}

// "ffmpeg failed (exit status 1): <its last message>".
[[noreturn]] void child_failed(std::string_view what,
                               const platform::ExitStatus& status,
                               const NativeString& log_path) {
  const std::string message = last_message(log_path);
  throw FatalError("ffmpeg " + std::string(what) + " (" +
                   platform::describe(status) + ")" +
                   (message.empty() ? "" : ": " + message));
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
  try {
    run_pack_loop(graphics, extended, encoder);
  } catch (...) {
    // An encoder that stopped reading says why in its log.
    platform::close_child_input(child);
    const platform::ExitStatus status =
        platform::wait_for_child(child, "wait on ffmpeg child");
    if (!status.success()) child_failed("failed", status, log_path);
    throw;
  }
  platform::close_child_input(child);
  const platform::ExitStatus status =
      platform::wait_for_child(child, "wait on ffmpeg child");
  if (!status.success()) child_failed("failed", status, log_path);
  remove_log(log_path);
  return frames;
}

}  // namespace glyphreel
