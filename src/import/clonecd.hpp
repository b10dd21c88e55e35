// The CloneCD control file (.ccd) reader: the tracks of the image's first
// session and where that session's lead-out starts.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "disc/toc_writer.hpp"

namespace glyphreel {

struct CloneCdDisc {
  std::vector<TocTrack> tracks;  // the first session's, in track order
  std::uint64_t lead_out_lba = 0;
  std::uint64_t sessions = 1;  // on the disc; only the first is imported
  bool operator==(const CloneCdDisc&) const = default;
};

// Reads the INI-like control file: section names and keys without regard to
// case or to the blanks around '=', LF or CRLF line ends. The first
// session's tracks are the [Entry n] sections with Session=1, ADR=1 and a
// track number as Point (1 to 99, hex or decimal); each must count up by one
// from the first, and each needs its [TRACK n] section, whose INDEX 1 is
// where the track starts; starts must strictly increase. A track is data
// when bit 2 of its entry's Control is set, as the table of contents says
// (the [TRACK n] MODE is not read). The lead-out is the PLBA of the entry
// with Session=1, ADR=1 and Point=0xa2; it must come after the last start.
// [Disc] must give Sessions, and TocEntries must count the [Entry] sections.
// Everything else is ignored, other sessions' tracks included.
//
// A refusal is a FatalError whose text names the file, the line and the key
// or section, such as "disc.ccd line 12: PLBA=x1 is not a whole number
// from 0 to 4294967295".
CloneCdDisc parse_clonecd(std::string_view text, std::string_view ccd_name);

}  // namespace glyphreel
