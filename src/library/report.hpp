// What a library run tells: a JSON line per song for --results, a line per
// song for --list, the progress as songs finish and the summary at the end.
// Pure: text in, text out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace glyphreel {

enum class SongStatus : std::uint8_t { Converted, Skipped, Failed };

std::string_view status_word(SongStatus status);

struct SongResult {
  std::string name;    // the song's relative name
  std::string source;  // its .cdg or zip
  std::string output;  // the video's path
  SongStatus status = SongStatus::Converted;
  std::string reason;         // why it failed or was skipped
  double seconds = 0;         // spent on the song
  std::uint64_t frames = 0;   // of a converted video
  bool audio_copied = false;  // of a converted video: copied, not encoded
};

// One JSON object and a line feed: "source", "output", "status", then
// "reason" unless converted, "seconds", and for a converted song "frames"
// and "audio" ("copied" or "encoded").
std::string result_json(const SongResult& result);

// The text as a JSON string, quotes included; bytes that are not UTF-8
// become U+FFFD.
std::string json_string(std::string_view utf8);

// "<name>\t<.cdg or zip>\t<audio>\ttodo|done\n" for --list. Tabs and line
// breaks inside a field become blanks, so that every song is one line of
// four fields.
std::string list_line(std::string_view name, std::string_view source,
                      std::string_view audio, bool done);

// The counts of a run so far.
struct Tally {
  std::uint64_t total = 0;
  std::uint64_t converted = 0;
  std::uint64_t skipped = 0;
  std::uint64_t failed = 0;
  std::uint64_t finished() const { return converted + skipped + failed; }
  void count(SongStatus status);
};

// "1:02:03", or "2:03" under an hour; whole seconds, rounded down.
std::string clock_text(double seconds);

// The line redrawn on a terminal:
// "[12/340] 1 failed, 3 skipped, 0:12:34 elapsed, about 5:06:07 left".
// The time left is the time per song converted or failed so far times the
// songs left; it is left out until one is.
std::string progress_line(const Tally& tally, double elapsed_seconds);

// The plain line for one finished song, off a terminal:
// "[12/340] converted Artist - Song (12.3 s)",
// "[13/340] failed Other: <reason>", "[14/340] skipped Third: <reason>".
std::string finished_line(const Tally& tally, const SongResult& result);

// "glyphreel-library: 338 converted, 1 skipped, 1 failed in 1:02:03\n".
std::string summary_line(const Tally& tally, double elapsed_seconds);

}  // namespace glyphreel
