#include "encoder/library_encoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/library_settings.hpp"
#include "encoder/literal_path.hpp"

namespace glyphreel {
namespace {

std::vector<std::string> text(const std::vector<NativeString>& arguments) {
  std::vector<std::string> words;
  for (const NativeString& argument : arguments) {
    words.push_back(platform::display_path(argument));
  }
  return words;
}

TEST(LibraryEncoder, ArgumentsFeedFramesAndTheAudioFileToOneMp4) {
  struct Case {
    unsigned scale;
    bool pad;
    bool copy;
    unsigned threads;
    std::string filter;
    std::vector<std::string> audio;
  };
  const std::vector<std::string> encoded = {"-c:a", "aac", "-b:a", "192k"};
  const Case cases[] = {
      {2,
       false,
       true,
       1,
       "scale=624:432:flags=neighbor,format=yuv420p",
       {"-c:a", "copy"}},
      {1, false, false, 0, "scale=312:216:flags=neighbor,format=yuv420p",
       encoded},
      // 5 x 216 = 1080 rows; 16:9 of them is 1920 columns, 1560 used.
      {5, true, false, 1,
       "scale=1560:1080:flags=neighbor,pad=1920:1080:180:0:black,"
       "format=yuv420p",
       encoded},
      {6,
       true,
       true,
       0,
       "scale=1872:1296:flags=neighbor,pad=2304:1296:216:0:black,"
       "format=yuv420p",
       {"-c:a", "copy"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.filter);
    LibraryVideo video;
    video.audio_path = platform::native_from_ascii("http:song.mp3");
    video.video_path = platform::native_from_ascii("-");
    video.scale = test.scale;
    video.pad_16_9 = test.pad;
    video.copy_audio = test.copy;
    video.encoder_threads = test.threads;
    std::vector<std::string> expected = {"-f",
                                         "rawvideo",
                                         "-pix_fmt",
                                         "rgb24",
                                         "-s",
                                         "312x216",
                                         "-r",
                                         "60",
                                         "-i",
                                         "-",
                                         "-i",
                                         "./http:song.mp3",
                                         "-map",
                                         "0:v:0",
                                         "-map",
                                         "1:a:0",
                                         "-map_metadata",
                                         "1",
                                         "-vf",
                                         test.filter,
                                         "-c:v",
                                         "libx264",
                                         "-preset",
                                         "veryfast",
                                         "-crf",
                                         "20",
                                         "-tune",
                                         "animation",
                                         "-g",
                                         "600",
                                         "-pix_fmt",
                                         "yuv420p",
                                         "-threads",
                                         std::to_string(test.threads)};
    expected.insert(expected.end(), test.audio.begin(), test.audio.end());
    for (const char* word : {"-movflags", "+faststart", "-nostats", "-v",
                             "error", "-y", "-f", "mp4", "./-"}) {
      expected.push_back(word);
    }
#ifdef _WIN32
    expected[11] = ".\\http:song.mp3";
    expected.back() = ".\\-";
#endif
    EXPECT_EQ(text(library_encoder_arguments(video)), expected);
  }
}

TEST(LibraryEncoder, SongsFillTheProcessorsWithOneEncoderThreadEach) {
  EXPECT_EQ(default_job_count(2), 2U);
  EXPECT_EQ(default_job_count(0), 1U);
  struct Case {
    unsigned processors;
    unsigned songs_at_once;
    unsigned threads;
  };
  const Case cases[] = {
      {2, 2, 1},  // the default -j: one song and one thread per processor
      {2, 3, 1},  //
      {2, 1, 0},  // one song, by -j 1 or alone: x264 takes both processors
      {8, 4, 0},  // half the processors idle otherwise
      {1, 1, 1},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(encoder_thread_count(test.processors, test.songs_at_once),
              test.threads)
        << test.processors << " processors, " << test.songs_at_once
        << " songs at once";
  }
}

TEST(LibraryEncoder, TheAudioLengthIsCountedFromDecodedSamples) {
  EXPECT_EQ(text(audio_length_arguments(platform::native_from_ascii("/a.ogg"))),
            (std::vector<std::string>{"-nostdin", "-v", "error", "-i", "/a.ogg",
                                      "-map", "0:a:0", "-ac", "1", "-ar",
                                      "44100", "-f", "s16le", "-"}));
}

TEST(LibraryEncoder, ASongsAudioIsEncodedFromTheTracksSamples) {
  const std::vector<std::string> samples = {"-f",  "s16le", "-ar", "44100",
                                            "-ac", "2",     "-i",  "-"};
  const struct {
    SongAudio audio;
    const char* word;
    std::vector<std::string> codec;
  } cases[] = {
      {SongAudio::Mp3, "mp3", {"-c:a", "libmp3lame", "-q:a", "0"}},
      {SongAudio::Flac, "flac", {"-c:a", "flac"}},
      {SongAudio::Wav, "wav", {"-c:a", "pcm_s16le"}},
  };
  // A relative temporary goes behind "./" (a dot and a backslash on Windows),
  // whatever its name holds.
  const NativeString temporary =
      platform::native_from_ascii("file:01 - A.mp3.partial");
  const std::string literal =
      platform::display_path(literal_path_argument(temporary));
  ASSERT_EQ(literal.substr(2), "file:01 - A.mp3.partial");
  for (const auto& c : cases) {
    std::vector<std::string> expected = samples;
    expected.insert(expected.end(), c.codec.begin(), c.codec.end());
    for (const char* word : {"-nostats", "-v", "error", "-y", "-f", c.word}) {
      expected.push_back(word);
    }
    expected.push_back(literal);
    EXPECT_EQ(text(song_audio_arguments(c.audio, temporary)), expected);
    EXPECT_EQ(audio_word(c.audio), c.word);
    EXPECT_EQ(parse_audio_word(c.word), c.audio);
  }
  EXPECT_FALSE(parse_audio_word("MP3"));
  EXPECT_FALSE(parse_audio_word("ogg"));
}

TEST(LibraryEncoder, OnlyMp3AndAacAreCopied) {
  for (const char* copied : {"mp3", "aac", "m4a"}) {
    EXPECT_TRUE(audio_is_copied(copied)) << copied;
  }
  for (const char* encoded : {"ogg", "flac", "wav", "opus", "wma", "MP3"}) {
    EXPECT_FALSE(audio_is_copied(encoded)) << encoded;
  }
}

}  // namespace
}  // namespace glyphreel
