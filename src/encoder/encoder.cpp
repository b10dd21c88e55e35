#include "encoder/encoder.hpp"

#include <string>

#include "base/fatal_error.hpp"
#include "compose/rgb_frame.hpp"
#include "encoder/literal_path.hpp"

namespace glyphreel {

void write_raw_audio(const NativeString& raw_path,
                     std::span<const std::uint8_t> audio) {
  platform::create_new_file(raw_path, audio, "write raw audio");
}

std::vector<NativeString> encoder_arguments(const EncoderPaths& paths) {
  const std::string frame_size =
      std::to_string(frame_width) + "x" + std::to_string(frame_height);
  const auto text = [](std::string_view ascii) {
    return platform::native_from_ascii(ascii);
  };
  // Option and value side by side.
  // clang-format off
  return {
      text("-f"),         text("rawvideo"),
      text("-pix_fmt"),   text("rgb24"),
      text("-s"),         text(frame_size),
      text("-r"),         text("60"),
      text("-i"),         text("-"),
      text("-f"),         text("s16le"),
      text("-ar"),        text("44100"),
      text("-ac"),        text("2"),
      text("-i"),         literal_path_argument(paths.raw_path),
      text("-vcodec"),    text("libx264"),
      text("-vf"),        text("scale=624:432:flags=neighbor,format=yuv420p"),
      text("-movflags"),  text("+faststart"),
      literal_path_argument(paths.mp4_path),
  };
  // clang-format on
}

void EncoderProcess::write_frame(const RgbFrame& frame) {
  platform::write_to_child(child_, frame.bytes(), "write frame");
}

EncoderProcess start_encoder(const EncoderPaths& paths) {
  return EncoderProcess(platform::spawn_with_input_pipe(
      paths.ffmpeg_path, encoder_arguments(paths), "spawn ffmpeg child"));
}

void finish_encoder(EncoderProcess& encoder, const NativeString& raw_path) {
  platform::close_child_input(encoder.child());
  const platform::ExitStatus status =
      platform::wait_for_child(encoder.child(), "wait on child process");
  platform::delete_file(raw_path, "delete temp raw audio output");
  // A run whose encoder failed has made no video: say so rather than end
  // as if all went well.
  if (!status.success()) {
    throw FatalError("ffmpeg exited unsuccessfully: " +
                     platform::describe(status));
  }
}

}  // namespace glyphreel
