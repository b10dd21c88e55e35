// The ffmpeg children of glyphreel-library. For a song's video: one that
// decodes the audio only to count its samples, then the encoder that takes
// the frames on its standard input and the audio file as its second input.
// For a song cut from a disc: the encoder of its audio, which takes the
// track's samples on its standard input.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"

namespace glyphreel {

using platform::NativeString;

// --pad 16:9: pillarboxed to 16:9 at the scaled height.
struct LibraryVideo {
  NativeString audio_path;
  NativeString video_path;  // the temporary the encoder writes
  unsigned scale = 2;       // 1 ... 6: 312 x 216 times this
  bool pad_16_9 = false;
  bool copy_audio = false;       // MP3 and AAC go into the MP4 as they are
  unsigned encoder_threads = 0;  // x264's threads; 0 lets it choose
};

inline constexpr unsigned smallest_scale = 1;
inline constexpr unsigned largest_scale = 6;
inline constexpr unsigned default_scale = 2;

// True for the audio that an MP4 holds as it is: MP3 and AAC (also in an
// .m4a). `extension` is lower case, without the dot.
bool audio_is_copied(std::string_view extension);

// The video's filter chain: nearest-neighbour scaling by whole pixels, the
// pillarbox when asked, then 4:2:0.
std::string library_video_filter(unsigned scale, bool pad_16_9);

// The encoder's arguments: the same first ten as glyphreel's (raw RGB24 at
// 312 x 216 and 60 frames a second on standard input), the audio file as the
// second input, the frames' stream and the audio's first stream mapped (an
// MP3's cover picture is no video stream of ours), the filter, the settings
// of library_settings.hpp with the encoder's thread count, the audio copied
// or encoded, and the MP4 written
// over the temporary that the run has created. Messages at "error" level
// only, so that its log holds the reason for a failure.
std::vector<NativeString> library_encoder_arguments(const LibraryVideo& video);

// The arguments of the child that decodes the audio's first stream to
// 16-bit mono samples at 44100 Hz on its standard output: their count is
// the audio's length, as exactly as the decoder knows it.
std::vector<NativeString> audio_length_arguments(
    const NativeString& audio_path);

// How a song cut from a disc keeps its audio: MP3, as karaoke players
// expect it, or lossless FLAC or WAV.
enum class SongAudio : std::uint8_t { Mp3, Flac, Wav };

// "mp3", "flac" or "wav": the --audio word and the file's extension.
std::string_view audio_word(SongAudio audio);
std::optional<SongAudio> parse_audio_word(std::string_view word);

// The arguments of the child that encodes a track's audio: its samples on
// standard input as the disc image holds them (16-bit little-endian, 44100
// Hz, two channels); MP3 by LAME at its best variable quality (-q:a 0),
// FLAC at ffmpeg's default compression, or 16-bit WAV; written over the
// temporary at `path` that the run reserved. Messages at "error" level
// only, so that its log holds the reason for a failure.
std::vector<NativeString> song_audio_arguments(SongAudio audio,
                                               const NativeString& path);

}  // namespace glyphreel
