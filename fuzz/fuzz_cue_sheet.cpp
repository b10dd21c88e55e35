// Fuzzes the cue sheet reader and the track addresses built from it.
//
// Input: the sheet's text. A refusal is an expected outcome and must name
// the sheet. An accepted sheet must hold what the reader promises: track
// numbers counting up by one, tracks in file order, INDEX 01 positions
// increasing within each file. Its tracks are then placed in files that end
// one sector after their last track's start (one sector for a file where no
// track starts), where every track fits, so the addresses must be each
// file's offset plus INDEX 01 and the table of contents written from them
// must read back as the same ranges; and in files one sector shorter, where
// the last track of a file starts at its end, which must be refused.

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
}

void check_placement(const CueSheet& sheet) {
  std::vector<std::uint64_t> sectors(sheet.files.size(), 1);
  std::vector<bool> has_start(sheet.files.size(), false);
  for (const auto& track : sheet.tracks) {
    sectors[track.file] = track.index_01 + 1;
    has_start[track.file] = true;
  }
  std::vector<TocTrack> tracks;
  try {
    tracks = glyphreel::cue_tracks(sheet, sectors);
  } catch (const FatalError&) {
    finding("refused tracks that fit their files");
  }
  require(tracks.size() == sheet.tracks.size(), "wrong number of tracks");
  std::uint64_t file_start = 0;
  std::size_t file = 0;
  for (std::size_t k = 0; k < tracks.size(); ++k) {
    for (; file < sheet.tracks[k].file; ++file) file_start += sectors[file];
    require(tracks[k].start_lba == file_start + sheet.tracks[k].index_01,
            "address is not the file's offset plus INDEX 01");
    require(tracks[k].data == sheet.tracks[k].data, "data bit lost");
  }
  const std::uint64_t lead_out = file_start + sectors[file];

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
    glyphreel::cue_tracks(sheet, sectors);
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
