// Fuzzes the cue sheet reader and the track addresses built from it.
//
// Input: the sheet's text. A refusal is an expected outcome and must name
// the sheet. An accepted sheet must hold what the reader promises: track
// numbers counting up by one, tracks in file order, INDEX 01 positions
// increasing within each file. Its tracks are then placed in files that end
// one sector after their last track's start (one sector for a file where no
// track starts), where every track fits, so the addresses must be each
// file's offset plus INDEX 01 plus the gaps before it, the runs must cover
// the disc once in order, and the table of contents written from them must
// read back as the same ranges; and in files one sector shorter, where the
// last track of a file starts at its end, which must be refused.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>
#include <vector>

#include "base/fatal_error.hpp"
#include "disc/toc.hpp"
#include "disc/toc_writer.hpp"
#include "finding.hpp"
#include "import/cue_sheet.hpp"

namespace {

using glyphreel::CueSheet;
using glyphreel::FatalError;
using glyphreel::TocTrack;

constexpr std::string_view sheet_name = "fuzz.cue";
constexpr std::uint64_t max_lba = 0xFFFFFFFF;

using fuzzing::finding;
using fuzzing::require;

void check_sheet(const CueSheet& sheet) {
  require(!sheet.files.empty() && !sheet.tracks.empty(),
          "accepted a sheet without files or tracks");
  for (const auto& name : sheet.files) {
    require(!name.empty(), "accepted a file without a name");
  }
  for (std::size_t k = 0; k < sheet.tracks.size(); ++k) {
    const auto& track = sheet.tracks[k];
    require(track.number >= 1 && track.number <= 99,
            "track number outside 1 to 99");
    require(track.file < sheet.files.size(), "track in no file");
    if (k == 0) continue;
    const auto& before = sheet.tracks[k - 1];
    require(track.number == before.number + 1,
            "track numbers do not count up by one");
    require(track.file >= before.file, "tracks out of file order");
    require(track.file != before.file || track.index_01 > before.index_01,
            "INDEX 01 positions do not increase within a file");
  }
  for (std::size_t g = 0; g < sheet.gaps.size(); ++g) {
    const auto& gap = sheet.gaps[g];
    require(gap.file < sheet.files.size() && gap.sectors > 0,
            "gap in no file or of no length");
    if (g == 0) continue;
    const auto& before = sheet.gaps[g - 1];
    require(gap.file > before.file ||
                (gap.file == before.file && gap.position > before.position),
            "gaps out of disc order or twice at one place");
  }
}

// The disc sector of sector `position` of file `file`: the files and gaps
// before it.
std::uint64_t disc_sector(const CueSheet& sheet,
                          const std::vector<std::uint64_t>& sectors,
                          std::size_t file, std::uint64_t position) {
  std::uint64_t lba = position;
  for (std::size_t f = 0; f < file; ++f) lba += sectors[f];
  for (const auto& gap : sheet.gaps) {
    if (gap.file < file ||
        (gap.file == file &&
         std::min(gap.position, sectors[gap.file]) <= position)) {
      lba += gap.sectors;
    }
  }
  return lba;
}

void check_placement(const CueSheet& sheet) {
  std::vector<std::uint64_t> sectors(sheet.files.size(), 1);
  std::vector<bool> has_start(sheet.files.size(), false);
  for (const auto& track : sheet.tracks) {
    sectors[track.file] = track.index_01 + 1;
    has_start[track.file] = true;
  }
  glyphreel::CueLayout layout;
  try {
    layout = glyphreel::cue_layout(sheet, sectors);
  } catch (const FatalError&) {
    finding("refused tracks that fit their files");
  }
  const std::vector<TocTrack>& tracks = layout.tracks;
  require(tracks.size() == sheet.tracks.size(), "wrong number of tracks");
  for (std::size_t k = 0; k < tracks.size(); ++k) {
    require(
        tracks[k].start_lba == disc_sector(sheet, sectors, sheet.tracks[k].file,
                                           sheet.tracks[k].index_01),
        "address is not the file's offset plus INDEX 01 and the gaps");
    require(tracks[k].data == sheet.tracks[k].data, "data bit lost");
  }
  const std::uint64_t lead_out = disc_sector(sheet, sectors, sectors.size(), 0);
  require(layout.lead_out_lba == lead_out, "lead-out is not files and gaps");
  std::uint64_t at = 0;
  for (const auto& run : layout.runs) {
    require(run.first_lba == at && run.sectors > 0,
            "runs do not cover the disc once in order");
    at += run.sectors;
  }
  require(at == lead_out, "runs do not reach the lead-out");

  std::vector<std::uint8_t> toc;
  try {
    toc = glyphreel::build_toc(tracks, lead_out);
  } catch (const FatalError&) {
    require(lead_out > max_lba, "table of contents refused below 2^32");
    return;
  }
  require(lead_out <= max_lba, "table of contents written past 2^32");
  const auto ranges = glyphreel::parse_toc(toc);
  require(ranges.size() == tracks.size(), "table reads back wrong count");
  for (std::size_t k = 0; k < ranges.size(); ++k) {
    const std::uint64_t end =
        k + 1 < tracks.size() ? tracks[k + 1].start_lba : lead_out;
    require(
        ranges[k].start_lba == tracks[k].start_lba && ranges[k].end_lba == end,
        "table reads back other ranges");
  }

  // One sector less: the last track of a file starts at its end.
  for (std::size_t f = 0; f < sectors.size(); ++f) {
    if (has_start[f]) --sectors[f];
  }
  try {
    glyphreel::cue_layout(sheet, sectors);
  } catch (const FatalError&) {
    return;
  }
  finding("accepted a track that starts at its file's end");
}

void fuzz_one(std::string_view text) {
  CueSheet sheet;
  try {
    sheet = glyphreel::parse_cue_sheet(text, sheet_name);
  } catch (const FatalError& error) {
    require(error.report().starts_with(sheet_name),
            "refusal does not name the sheet");
    return;
  }
  check_sheet(sheet);
  check_placement(sheet);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case([&] {
    fuzz_one(std::string_view(reinterpret_cast<const char*>(data), size));
  });
}
