// Fuzzes the CloneCD control file reader.
//
// Input: the control file's text. A refusal is an expected outcome and must
// name the file. An accepted disc must be one that a table of contents can
// carry: one to 99 tracks whose starts strictly increase, all before a
// lead-out within 32-bit addresses, and one to 99 sessions; the table
// written from it must read back as the tracks' ranges.

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
#include "import/clonecd.hpp"

namespace {

using glyphreel::CloneCdDisc;
using glyphreel::FatalError;

constexpr std::string_view ccd_name = "fuzz.ccd";

using fuzzing::finding;
using fuzzing::require;

void fuzz_one(std::string_view text) {
  CloneCdDisc disc;
  try {
    disc = glyphreel::parse_clonecd(text, ccd_name);
  } catch (const FatalError& error) {
    require(error.report().starts_with(ccd_name),
            "refusal does not name the file");
    return;
  }
  require(disc.sessions >= 1 && disc.sessions <= 99,
          "sessions outside 1 to 99");
  require(!disc.tracks.empty() && disc.tracks.size() <= 99,
          "no tracks, or more than 99");
  require(disc.lead_out_lba <= 0xFFFFFFFF, "lead-out past 32 bits");
  for (std::size_t k = 1; k < disc.tracks.size(); ++k) {
    require(disc.tracks[k].start_lba > disc.tracks[k - 1].start_lba,
            "track starts do not increase");
  }
  require(disc.tracks.back().start_lba < disc.lead_out_lba,
          "last track does not start before the lead-out");

  std::vector<std::uint8_t> toc;
  try {
    toc = glyphreel::build_toc(disc.tracks, disc.lead_out_lba);
  } catch (const FatalError&) {
    finding("accepted a disc whose table of contents cannot be written");
  }
  const auto ranges = glyphreel::parse_toc(toc);
  require(ranges.size() == disc.tracks.size(), "table reads back wrong count");
  for (std::size_t k = 0; k < ranges.size(); ++k) {
    const std::uint64_t end = k + 1 < disc.tracks.size()
                                  ? disc.tracks[k + 1].start_lba
                                  : disc.lead_out_lba;
    require(ranges[k].start_lba == disc.tracks[k].start_lba &&
                ranges[k].end_lba == end,
            "table reads back other ranges");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case([&] {
    fuzz_one(std::string_view(reinterpret_cast<const char*>(data), size));
  });
}
