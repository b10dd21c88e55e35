#include "import/cue_sheet.hpp"

#include <optional>

#include "base/fatal_error.hpp"
#include "base/text.hpp"
#include "disc/toc.hpp"
#include "import/text_lines.hpp"

namespace glyphreel {

namespace {

// Commands read and ignored: they describe the disc and its tracks (REM,
// SONGWRITER, CATALOG, ISRC, CDTEXTFILE; only TITLE and PERFORMER are kept,
// for names) or set flags that the table of contents does not carry from
// the sheet (FLAGS; the data bit comes from the track's mode).
constexpr std::string_view ignored_commands[] = {"SONGWRITER", "CATALOG",
                                                 "ISRC", "FLAGS", "CDTEXTFILE"};

constexpr std::uint64_t max_track_number = 99;
constexpr std::uint64_t max_index_number = 99;
constexpr std::uint64_t seconds_per_minute = 60;

std::string upper(std::string_view word) {
  std::string result(word);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

// A number of one to max_digits decimal digits, nothing else.
std::optional<std::uint64_t> digits(std::string_view text,
                                    std::size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

// mm:ss:ff as sectors; minutes may run past 99 on long images.
std::optional<std::uint64_t> msf_sectors(std::string_view text) {
  const std::size_t first = text.find(':');
  const std::size_t second =
      first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto minutes = digits(text.substr(0, first), 5);
  const auto seconds = digits(text.substr(first + 1, second - first - 1), 2);
  const auto frames = digits(text.substr(second + 1), 2);
  if (!minutes || !seconds || !frames || *seconds >= seconds_per_minute ||
      *frames >= sectors_per_second) {
    return std::nullopt;
  }
  return (*minutes * seconds_per_minute + *seconds) * sectors_per_second +
         *frames;
}

// Reads the sheet line by line, keeping what is open: the last FILE and
// whether a TRACK or an INDEX followed it, the last TRACK and its indices.
class SheetReader {
 public:
  explicit SheetReader(std::string_view sheet_name) : name_(sheet_name) {}

  void read_line(std::size_t number, std::string_view line) {
    std::size_t start = 0;
    while (start < line.size() && is_blank(line[start])) ++start;
    if (start == line.size()) return;
    last_line_ = number;
    std::size_t end = start;
    while (end < line.size() && !is_blank(line[end])) ++end;
    // A remark is free text, unmatched quotes and all.
    if (upper(line.substr(start, end - start)) == "REM") return;

    const std::vector<std::string> words = split(number, line);
    const std::string command = upper(words[0]);
    const std::span<const std::string> args = std::span(words).subspan(1);
    if (command == "FILE") return file(number, args);
    if (command == "TITLE") return text(&CueTrack::title, args);
    if (command == "PERFORMER") return text(&CueTrack::performer, args);
    if (command == "TRACK") return track(number, args);
    if (command == "INDEX") return index(number, args);
    if (command == "PREGAP" || command == "POSTGAP") {
      refuse(number, command + " is not supported: the gap is in no file");
    }
    for (const std::string_view ignored : ignored_commands) {
      if (command == ignored) return;
    }
    refuse(number, "unknown command " + escape_text(words[0]));
  }

  CueSheet finish() {
    if (sheet_.files.empty()) refuse(last_line_, "the sheet has no track");
    if (!file_used_) {
      refuse(last_line_, "the sheet ends before FILE " +
                             quote_argument(sheet_.files.back()) +
                             " has a track");
    }
    if (!has_index_01_) {
      refuse(last_line_, "the sheet ends before TRACK " +
                             two_digits(sheet_.tracks.back().number) +
                             " has an INDEX 01");
    }
    return std::move(sheet_);
  }

 private:
  [[noreturn]] void refuse(std::size_t line, const std::string& why) const {
    throw refusal(name_, line, why);
  }

  // Blank-separated words; a word that opens with a quote runs to the next
  // quote, blanks included, and must be followed by a blank or the end.
  std::vector<std::string> split(std::size_t number,
                                 std::string_view line) const {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
      if (is_blank(line[i])) {
        ++i;
      } else if (line[i] == '"') {
        const std::size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos) {
          refuse(number, "unterminated quote");
        }
        if (close + 1 < line.size() && !is_blank(line[close + 1])) {
          refuse(number, "no blank after the closing quote");
        }
        words.emplace_back(line.substr(i + 1, close - i - 1));
        i = close + 1;
      } else {
        const std::size_t start = i;
        while (i < line.size() && !is_blank(line[i])) ++i;
        words.emplace_back(line.substr(start, i - start));
      }
    }
    return words;
  }

  // The open track must have its INDEX 01 before the next one starts.
  void close_track() const {
    if (!sheet_.tracks.empty() && !has_index_01_) {
      refuse(track_line_, "TRACK " + two_digits(sheet_.tracks.back().number) +
                              " has no INDEX 01");
    }
  }

  // The disc's before its first TRACK, the open track's after it.
  void text(std::string CueTrack::*field, std::span<const std::string> args) {
    std::string joined;
    for (const std::string& word : args) {
      joined += (joined.empty() ? "" : " ") + word;
    }
    if (sheet_.tracks.empty()) {
      (field == &CueTrack::title ? sheet_.title : sheet_.performer) = joined;
    } else {
      sheet_.tracks.back().*field = std::move(joined);
    }
  }

  // The open track goes on into the new file, its next indices counted from
  // the new file's start: so a track's pregap may end the file before.
  void file(std::size_t number, std::span<const std::string> args) {
    if (!sheet_.files.empty() && !file_used_) {
      refuse(file_line_, "FILE " + quote_argument(sheet_.files.back()) +
                             " has no track or index");
    }
    if (args.size() != 2) {
      refuse(number, "FILE takes a name and a type (quote a name with blanks)");
    }
    if (args[0].empty()) refuse(number, "FILE has an empty name");
    if (upper(args[1]) != "BINARY") {
      refuse(number, "FILE type " + escape_text(args[1]) +
                         " is not supported: only a BINARY file holds raw "
                         "2352-byte sectors");
    }
    sheet_.files.push_back(args[0]);
    file_line_ = number;
    file_used_ = false;
    file_has_index_ = false;
  }

  void track(std::size_t number, std::span<const std::string> args) {
    if (sheet_.files.empty()) refuse(number, "TRACK before any FILE");
    close_track();
    if (args.size() != 2) refuse(number, "TRACK takes a number and a mode");
    const auto track_number = digits(args[0], 2);
    if (!track_number || *track_number == 0 ||
        *track_number > max_track_number) {
      refuse(number,
             "track number " + escape_text(args[0]) + " is not 01 to 99");
    }
    if (!sheet_.tracks.empty() &&
        *track_number != sheet_.tracks.back().number + 1) {
      refuse(number, "TRACK " + escape_text(args[0]) + " follows TRACK " +
                         two_digits(sheet_.tracks.back().number) +
                         ": track numbers count up by one");
    }
    const std::string mode = upper(args[1]);
    if (mode != "AUDIO" && mode != "MODE1/2352" && mode != "MODE2/2352") {
      refuse(number, "TRACK mode " + escape_text(args[1]) +
                         " is not supported: only AUDIO, MODE1/2352 and "
                         "MODE2/2352 tracks are raw 2352-byte sectors");
    }
    sheet_.tracks.push_back({.number = *track_number,
                             .data = mode != "AUDIO",
                             .file = sheet_.files.size() - 1,
                             .index_01 = 0});
    track_line_ = number;
    file_used_ = true;
    has_index_01_ = false;
    last_index_.reset();
  }

  void index(std::size_t number, std::span<const std::string> args) {
    if (sheet_.tracks.empty()) refuse(number, "INDEX before any TRACK");
    if (args.size() != 2) {
      refuse(number, "INDEX takes a number and a time mm:ss:ff");
    }
    const auto index_number = digits(args[0], 2);
    if (!index_number || *index_number > max_index_number) {
      refuse(number,
             "index number " + escape_text(args[0]) + " is not 00 to 99");
    }
    if (last_index_ ? *index_number != *last_index_ + 1 : *index_number > 1) {
      refuse(number, "INDEX " + escape_text(args[0]) +
                         " out of order: a track's indices count up by one "
                         "from 00 or 01");
    }
    const auto position = msf_sectors(args[1]);
    if (!position) {
      refuse(number, "time " + escape_text(args[1]) +
                         " is not mm:ss:ff (seconds below 60, frames below "
                         "75)");
    }
    if (file_has_index_ && *position <= last_position_) {
      refuse(number, "INDEX " + escape_text(args[0]) + " at " +
                         escape_text(args[1]) +
                         " does not come after the index before it in its "
                         "FILE");
    }
    last_index_ = *index_number;
    file_used_ = true;
    file_has_index_ = true;
    last_position_ = *position;
    if (*index_number == 1) {
      sheet_.tracks.back().file = sheet_.files.size() - 1;
      sheet_.tracks.back().index_01 = *position;
      has_index_01_ = true;
    }
  }

  std::string_view name_;
  CueSheet sheet_;
  std::size_t last_line_ = 0;  // the last line that is not blank
  std::size_t file_line_ = 0;
  bool file_used_ = false;  // a TRACK or an INDEX since the last FILE
  bool file_has_index_ = false;
  std::uint64_t last_position_ = 0;  // of the file's last index
  std::size_t track_line_ = 0;
  bool has_index_01_ = false;
  std::optional<std::uint64_t> last_index_;
};

}  // namespace

CueSheet parse_cue_sheet(std::string_view text, std::string_view sheet_name) {
  SheetReader reader(sheet_name);
  for_each_line(text, [&](std::size_t number, std::string_view line) {
    reader.read_line(number, line);
  });
  return reader.finish();
}

std::vector<TocTrack> cue_tracks(const CueSheet& sheet,
                                 std::span<const std::uint64_t> file_sectors) {
  if (file_sectors.size() != sheet.files.size()) {
    throw FatalError::equality(
        "cue sheet files against their sector counts (files == counts)",
        sheet.files.size(), file_sectors.size());
  }
  std::vector<std::uint64_t> file_start(file_sectors.size(), 0);
  for (std::size_t f = 1; f < file_sectors.size(); ++f) {
    file_start[f] = file_start[f - 1] + file_sectors[f - 1];
  }
  std::vector<TocTrack> tracks;
  tracks.reserve(sheet.tracks.size());
  for (const CueTrack& track : sheet.tracks) {
    if (track.index_01 >= file_sectors[track.file]) {
      throw FatalError("track " + std::to_string(track.number) +
                       " starts at sector " + std::to_string(track.index_01) +
                       " of " + quote_argument(sheet.files[track.file]) +
                       ", which holds only " +
                       std::to_string(file_sectors[track.file]) + " sectors");
    }
    tracks.push_back({file_start[track.file] + track.index_01, track.data});
  }
  return tracks;
}

}  // namespace glyphreel
