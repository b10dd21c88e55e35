// The cue sheet reader: which BIN files make the disc image, in order, where
// each track starts in them and which gaps in no file lie between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disc/toc_writer.hpp"
#include "import/disc_run.hpp"

namespace glyphreel {

struct CueTrack {
  std::uint64_t number = 0;    // as the sheet numbers it, 1 to 99
  bool data = false;           // MODE1/2352 or MODE2/2352 rather than AUDIO
  std::size_t file = 0;        // index into CueSheet::files
  std::uint64_t index_01 = 0;  // sectors from the start of its file
  // The last TITLE and PERFORMER after its TRACK line, their words joined
  // by single blanks.
  std::string title{};
  std::string performer{};
  bool operator==(const CueTrack&) const = default;
};

// A gap's place when it follows the last sector of its file.
inline constexpr std::uint64_t cue_file_end =
    std::numeric_limits<std::uint64_t>::max();

// A PREGAP or POSTGAP: sectors of silence on the disc that no file holds,
// before sector `position` of a file (or after its end).
struct CueGap {
  std::size_t file = 0;
  std::uint64_t position = 0;
  std::uint64_t sectors = 0;
  bool operator==(const CueGap&) const = default;
};

struct CueSheet {
  std::vector<std::string> files;  // as written in the sheet, quotes removed
  std::vector<CueTrack> tracks;    // in sheet order
  std::vector<CueGap> gaps{};      // in disc order, each place once
  // The tracks are CDG: 2448-byte sectors, 2352 bytes of audio and then 96
  // of the sector's subchannel.
  bool cdg = false;
  bool operator==(const CueSheet&) const = default;
  // The disc's: the last TITLE and PERFORMER before the first TRACK line.
  std::string title{};
  std::string performer{};
};

// Reads a cue sheet whose files are BINARY images of raw sectors and whose
// tracks are AUDIO, MODE1/2352 or MODE2/2352 (2352-byte sectors), or all
// CDG (2448-byte sectors that carry their subchannel). Line ends LF or
// CRLF, an optional UTF-8 byte order mark, blank lines and indentation are
// fine; keywords are read without regard to case.
//
// A file may hold several tracks, and INDEX positions count from the start
// of the FILE they follow; within one file every index must come after the
// one before, so INDEX 01 positions strictly increase. A track runs on
// across a FILE line, so its INDEX 00 may end one file and its INDEX 01
// start the next; its `file` is the one that holds its INDEX 01. Track
// numbers count up by one from the first; a track's indices count up by
// one from 00 or 01, and it must have an INDEX 01, the only index that
// becomes an address (the sectors of an INDEX 00 belong to the track
// before, as on the disc). A FILE must be followed by a TRACK or an INDEX.
// A track's PREGAP, before its first INDEX, is a gap on the disc before
// that index; its POSTGAP, after its indices, a gap after its last sector:
// before the next track's first index (and its pregap), or after the last
// file. Gaps at one place are one.
//
// A refusal is a FatalError whose text names the sheet, the line and what
// could not be taken, such as "disc.cue line 7: a second PREGAP in TRACK 02".
CueSheet parse_cue_sheet(std::string_view text, std::string_view sheet_name);

// The disc: the sheet's files one after another with the gaps between their
// sectors, sector 0 the first sector of the first file or gap.
struct CueLayout {
  std::vector<TocTrack> tracks;  // each at its INDEX 01, for build_toc
  std::uint64_t lead_out_lba = 0;
  // Every sector 0 .. lead_out_lba - 1 once, in disc order: file runs of
  // 2352-byte sectors, or of 2448-byte ones with their subchannel in a CDG
  // sheet, and gaps.
  std::vector<DiscRun> runs;
  bool operator==(const CueLayout&) const = default;
};

// The layout once each file's sector count is known: a track's address is
// its INDEX 01 plus the sectors of the files and gaps before it. A fatal
// stop when a track starts at or past the end of its file; a gap placed
// past the end of its file follows the file's last sector. REQUIRES: one
// sector count per file of the sheet.
CueLayout cue_layout(const CueSheet& sheet,
                     std::span<const std::uint64_t> file_sectors);

}  // namespace glyphreel
