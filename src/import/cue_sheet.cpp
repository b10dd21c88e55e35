#include "import/cue_sheet.hpp"

#include <optional>

#include "base/fatal_error.hpp"
#include "base/text.hpp"
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
    if (upper_ascii(line.substr(start, end - start)) == "REM") return;

    const std::vector<std::string> words = split(number, line);
    const std::string command = upper_ascii(words[0]);
    const std::span<const std::string> args = std::span(words).subspan(1);
    if (command == "FILE") return file(number, args);
    if (command == "TITLE") return text(&CueTrack::title, args);
    if (command == "PERFORMER") return text(&CueTrack::performer, args);
    if (command == "TRACK") return track(number, args);
    if (command == "INDEX") return index(number, args);
    if (command == "PREGAP") return pregap(number, args);
    if (command == "POSTGAP") return postgap(number, args);
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
    if (postgap_ != 0) add_gap(sheet_.files.size() - 1, cue_file_end, postgap_);
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
    if (upper_ascii(args[1]) != "BINARY") {
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
    const auto track_number = parse_digits(args[0], 2);
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
    const std::string mode = upper_ascii(args[1]);
    if (mode != "AUDIO" && mode != "CDG" && mode != "MODE1/2352" &&
        mode != "MODE2/2352") {
      refuse(number, "TRACK mode " + escape_text(args[1]) +
                         " is not supported: only AUDIO, CDG, MODE1/2352 and "
                         "MODE2/2352 tracks are raw sectors");
    }
    const bool cdg = mode == "CDG";
    if (sheet_.tracks.empty()) {
      sheet_.cdg = cdg;
    } else if (cdg != sheet_.cdg) {
      refuse(number, "TRACK " + two_digits(*track_number) + " " +
                         escape_text(args[1]) +
                         (cdg ? " follows tracks that are not CDG"
                              : " follows CDG tracks") +
                         ": a sheet's tracks are all CDG (2448-byte sectors "
                         "with their subchannel) or none");
    }
    sheet_.tracks.push_back({.number = *track_number,
                             .data = mode != "AUDIO" && !cdg,
                             .file = sheet_.files.size() - 1,
                             .index_01 = 0});
    track_line_ = number;
    file_used_ = true;
    has_index_01_ = false;
    last_index_.reset();
    pregap_line_ = 0;
    postgap_line_ = 0;
  }

  void index(std::size_t number, std::span<const std::string> args) {
    if (sheet_.tracks.empty()) refuse(number, "INDEX before any TRACK");
    if (postgap_line_ != 0) {
      refuse(number, "INDEX after the track's POSTGAP: the gap ends it");
    }
    if (args.size() != 2) {
      refuse(number, "INDEX takes a number and a time mm:ss:ff");
    }
    const auto index_number = parse_digits(args[0], 2);
    if (!index_number || *index_number > max_index_number) {
      refuse(number,
             "index number " + escape_text(args[0]) + " is not 00 to 99");
    }
    if (last_index_ ? *index_number != *last_index_ + 1 : *index_number > 1) {
      refuse(number, "INDEX " + escape_text(args[0]) +
                         " out of order: a track's indices count up by one "
                         "from 00 or 01");
    }
    const auto position = parse_msf(args[1]);
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
    if (!last_index_) {
      // The track's first index: the gaps that lead to it lie before it.
      add_gap(sheet_.files.size() - 1, *position, postgap_ + pregap_);
      postgap_ = 0;
      pregap_ = 0;
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

  // PREGAP mm:ss:ff or POSTGAP mm:ss:ff: the gap's sectors.
  std::uint64_t gap_length(std::size_t number, std::string_view command,
                           std::span<const std::string> args) const {
    if (sheet_.tracks.empty()) {
      refuse(number, std::string(command) + " before any TRACK");
    }
    if (args.size() != 1) {
      refuse(number, std::string(command) + " takes a length mm:ss:ff");
    }
    const auto sectors = parse_msf(args[0]);
    if (!sectors) {
      refuse(number, "time " + escape_text(args[0]) +
                         " is not mm:ss:ff (seconds below 60, frames below "
                         "75)");
    }
    return *sectors;
  }

  std::string open_track_title() const {
    return "TRACK " + two_digits(sheet_.tracks.back().number);
  }

  void pregap(std::size_t number, std::span<const std::string> args) {
    const std::uint64_t sectors = gap_length(number, "PREGAP", args);
    if (pregap_line_ != 0) {
      refuse(number, "a second PREGAP in " + open_track_title());
    }
    if (last_index_) {
      refuse(number, "PREGAP after an INDEX of " + open_track_title() +
                         ": the gap comes before the track's indices");
    }
    pregap_line_ = number;
    pregap_ = sectors;
  }

  void postgap(std::size_t number, std::span<const std::string> args) {
    const std::uint64_t sectors = gap_length(number, "POSTGAP", args);
    if (postgap_line_ != 0) {
      refuse(number, "a second POSTGAP in " + open_track_title());
    }
    if (!has_index_01_) {
      refuse(number, "POSTGAP before the INDEX 01 of " + open_track_title() +
                         ": the gap comes after the track's indices");
    }
    postgap_line_ = number;
    postgap_ = sectors;
  }

  // A gap before sector `position` of a file; one at the place of the last
  // gap lengthens it.
  void add_gap(std::size_t file, std::uint64_t position,
               std::uint64_t sectors) {
    if (sectors == 0) return;
    if (!sheet_.gaps.empty() && sheet_.gaps.back().file == file &&
        sheet_.gaps.back().position == position) {
      sheet_.gaps.back().sectors += sectors;
      return;
    }
    sheet_.gaps.push_back({file, position, sectors});
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
  // The open track's PREGAP and POSTGAP lines, 0 for none, and the gaps
  // not yet placed: the pregap until the track's first index, a postgap
  // until the next track's first index or the end of the sheet.
  std::size_t pregap_line_ = 0;
  std::size_t postgap_line_ = 0;
  std::uint64_t pregap_ = 0;
  std::uint64_t postgap_ = 0;
};

}  // namespace

CueSheet parse_cue_sheet(std::string_view text, std::string_view sheet_name) {
  SheetReader reader(sheet_name);
  for_each_line(text, [&](std::size_t number, std::string_view line) {
    reader.read_line(number, line);
  });
  return reader.finish();
}

}  // namespace glyphreel
