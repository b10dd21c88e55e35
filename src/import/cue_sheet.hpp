// The cue sheet reader: which BIN files make the disc image, in order, and
// where each track starts in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disc/toc_writer.hpp"

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

struct CueSheet {
  std::vector<std::string> files;  // as written in the sheet, quotes removed
  std::vector<CueTrack> tracks;    // in sheet order
  bool operator==(const CueSheet&) const = default;
  // The disc's: the last TITLE and PERFORMER before the first TRACK line.
  std::string title{};
  std::string performer{};
};

// Reads a cue sheet whose files are BINARY images of 2352-byte sectors and
// whose tracks are AUDIO, MODE1/2352 or MODE2/2352. Line ends LF or CRLF,
// an optional UTF-8 byte order mark, blank lines and indentation are fine;
// keywords are read without regard to case.
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
//
// A refusal is a FatalError whose text names the sheet, the line and what
// could not be taken, such as
// "disc.cue line 7: PREGAP is not supported: the gap is in no file".
CueSheet parse_cue_sheet(std::string_view text, std::string_view sheet_name);

// The disc's tracks: a track's address is its INDEX 01 plus the sectors of
// the files before its file. A fatal stop when a track starts at or past
// the end of its file. REQUIRES: one sector count per file of the sheet.
std::vector<TocTrack> cue_tracks(const CueSheet& sheet,
                                 std::span<const std::uint64_t> file_sectors);

}  // namespace glyphreel
