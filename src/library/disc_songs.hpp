// What `glyphreel-library songs` makes of a disc: which tracks carry
// graphics, what each song's files are called, which files a run writes
// and the line it reports for each track. Pure: bytes and names in, names
// and text out.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/library_encoder.hpp"
#include "import/cdrdao_toc.hpp"
#include "import/cue_sheet.hpp"

namespace glyphreel {

// The packs of a track's subcode that hold a CD+G or CD+EG instruction:
// mode 9 or 10 in the low six bits of the mode byte, where the dump holds
// each symbol. A track with none carries no graphics.
std::uint64_t graphics_pack_count(std::span<const std::uint8_t> subcode);

// The CD-TEXT of a disc: its own title and performer, and each track's in
// disc order, track 1 first. Empty texts where the rip has none.
struct DiscNames {
  CdText disc;
  std::vector<CdText> tracks;
  bool operator==(const DiscNames&) const = default;
};

DiscNames disc_names(const CueSheet& sheet);
DiscNames disc_names(const CdrdaoToc& toc);

// The longest song name, in bytes of UTF-8.
inline constexpr std::size_t longest_song_name = 200;

// The text made fit to stand in a file name on every system: text that is
// not UTF-8 read as ISO 8859-1 (CD-TEXT's own character code), blanks at
// either end dropped, and each character that Windows refuses in a name
// (< > : " / \ | ? * and control characters) made '_'.
std::string name_text(std::string_view text);

// The song of track `number` (from 1): "NN - Artist - Title" from its
// CD-TEXT, the disc's performer standing in for the track's; "NN - Title"
// without either; "Track NN" without a title. Made fit for a file name
// and cut to longest_song_name bytes on a character's boundary.
std::string song_name(std::uint64_t number, const DiscNames& names);

// The files a song leaves in the output folder: "<name>.zip", or with
// --folders "<name>.cdg" and "<name>.<audio>".
std::vector<std::string> song_outputs(std::string_view name, SongAudio audio,
                                      bool folders);

// Every file that the making of a song may write for a while: its outputs,
// the audio that goes into its zip, and the encoder's messages
// ("<name>.log").
std::vector<std::string> song_scratch_files(std::string_view name,
                                            SongAudio audio, bool folders);

// --tracks FIRST-LAST: tracks counted from 1, FIRST <= LAST <= 99.
struct TrackRange {
  std::uint64_t first = 1;
  std::uint64_t last = 99;
  bool operator==(const TrackRange&) const = default;
};
std::optional<TrackRange> parse_track_range(std::string_view text);

enum class TrackStatus : std::uint8_t { Written, Skipped, Failed };

// One track of a run, as its report line shows it.
struct TrackOutcome {
  std::uint64_t number = 0;
  std::string name;
  std::uint64_t sectors = 0;
  std::uint64_t graphics_packs = 0;
  TrackStatus status = TrackStatus::Written;
  std::string reason;  // why it was skipped or failed
};

// "NN\t<name>\t<seconds> s\t<packs> graphics packs\twritten", or
// "skipped: <reason>" or "failed: <reason>" in the last field; a line
// feed after it. Seconds to two decimals, 75 sectors a second.
std::string track_line(const TrackOutcome& outcome);

// "N written, N skipped, N failed": the summary of the outcomes.
std::string songs_summary(std::span<const TrackOutcome> outcomes);

}  // namespace glyphreel
