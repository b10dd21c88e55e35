#include "encoder/library_encoder.hpp"

#include <string>

#include "compose/rgb_frame.hpp"
#include "encoder/library_settings.hpp"
#include "encoder/literal_path.hpp"

namespace glyphreel {

namespace {

// 16:9 at the height of 216 rows: 384 columns.
constexpr std::size_t padded_width = frame_height * 16 / 9;
static_assert(padded_width * 9 == frame_height * 16);

void add(std::vector<NativeString>& arguments,
         std::initializer_list<std::string_view> words) {
  for (const std::string_view word : words) {
    arguments.push_back(platform::native_from_ascii(word));
  }
}

template <std::size_t count>
void add(std::vector<NativeString>& arguments,
         const std::string_view (&words)[count]) {
  for (const std::string_view word : words) {
    arguments.push_back(platform::native_from_ascii(word));
  }
}

}  // namespace

bool audio_is_copied(std::string_view extension) {
  return extension == "mp3" || extension == "aac" || extension == "m4a";
}

std::string library_video_filter(unsigned scale, bool pad_16_9) {
  const std::string width = std::to_string(frame_width * scale);
  const std::string height = std::to_string(frame_height * scale);
  std::string filter = "scale=" + width + ":" + height + ":flags=neighbor";
  if (pad_16_9) {
    const std::size_t padded = padded_width * scale;
    filter += ",pad=" + std::to_string(padded) + ":" + height + ":" +
              std::to_string((padded - frame_width * scale) / 2) + ":0:black";
  }
  return filter + ",format=yuv420p";
}

std::vector<NativeString> library_encoder_arguments(const LibraryVideo& video) {
  const std::string frame_size =
      std::to_string(frame_width) + "x" + std::to_string(frame_height);
  std::vector<NativeString> arguments;
  add(arguments, {"-f", "rawvideo", "-pix_fmt", "rgb24", "-s", frame_size, "-r",
                  "60", "-i", "-", "-i"});
  arguments.push_back(literal_path_argument(video.audio_path));
  add(arguments, {"-map", "0:v:0", "-map", "1:a:0", "-map_metadata", "1", "-vf",
                  library_video_filter(video.scale, video.pad_16_9)});
  add(arguments, library_video_arguments);
  add(arguments, {"-threads", std::to_string(video.encoder_threads)});
  if (video.copy_audio) {
    add(arguments, {"-c:a", "copy"});
  } else {
    add(arguments, library_audio_encode_arguments);
  }
  add(arguments, {"-movflags", "+faststart", "-nostats", "-v", "error", "-y",
                  "-f", "mp4"});
  arguments.push_back(literal_path_argument(video.video_path));
  return arguments;
}

std::vector<NativeString> audio_length_arguments(
    const NativeString& audio_path) {
  std::vector<NativeString> arguments;
  add(arguments, {"-nostdin", "-v", "error", "-i"});
  arguments.push_back(literal_path_argument(audio_path));
  add(arguments,
      {"-map", "0:a:0", "-ac", "1", "-ar", "44100", "-f", "s16le", "-"});
  return arguments;
}

std::string_view audio_word(SongAudio audio) {
  switch (audio) {
    case SongAudio::Mp3:
      return "mp3";
    case SongAudio::Flac:
      return "flac";
    case SongAudio::Wav:
      return "wav";
  }
  return "mp3";
}

std::optional<SongAudio> parse_audio_word(std::string_view word) {
  for (const SongAudio audio :
       {SongAudio::Mp3, SongAudio::Flac, SongAudio::Wav}) {
    if (word == audio_word(audio)) return audio;
  }
  return std::nullopt;
}

std::vector<NativeString> song_audio_arguments(SongAudio audio,
                                               const NativeString& path) {
  std::vector<NativeString> arguments;
  add(arguments, {"-f", "s16le", "-ar", "44100", "-ac", "2", "-i", "-"});
  switch (audio) {
    case SongAudio::Mp3:
      add(arguments, {"-c:a", "libmp3lame", "-q:a", "0"});
      break;
    case SongAudio::Flac:
      add(arguments, {"-c:a", "flac"});
      break;
    case SongAudio::Wav:
      add(arguments, {"-c:a", "pcm_s16le"});
      break;
  }
  add(arguments, {"-nostats", "-v", "error", "-y", "-f", audio_word(audio)});
  arguments.push_back(literal_path_argument(path));
  return arguments;
}

}  // namespace glyphreel
