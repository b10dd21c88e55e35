// The disc a cdrdao TOC file describes, once its files' sizes are known:
// the tracks one after another from sector 0, each run of a track where its
// file holds it.
#include <string>

#include "base/fatal_error.hpp"
#include "base/text.hpp"
#include "import/cdrdao_toc.hpp"
#include "import/text_lines.hpp"

namespace glyphreel {

namespace {

// The run's sectors, checked against the bytes its file holds from its
// offset on; a run without a length takes all the blocks that are left.
std::uint64_t file_run_sectors(const TocRun& run, std::size_t block_size,
                               const TocFile& file, const TocFileExtent& extent,
                               std::string_view toc_name) {
  const std::string holds = quote_argument(file.name) + " holds " +
                            std::to_string(extent.bytes) + " bytes";
  if (run.offset >= extent.bytes) {
    throw refusal(toc_name, run.line,
                  holds +
                      ", and the run starts at or past their end, at "
                      "byte " +
                      std::to_string(run.offset));
  }
  const std::uint64_t left = extent.bytes - run.offset;
  if (!run.sectors) {
    if (left % block_size != 0) {
      throw refusal(toc_name, run.line,
                    holds + ": the " + std::to_string(left) + " from byte " +
                        std::to_string(run.offset) +
                        " on are not a whole number of " +
                        std::to_string(block_size) + "-byte blocks");
    }
    return left / block_size;
  }
  if (*run.sectors > left / block_size) {
    throw refusal(toc_name, run.line,
                  holds + ", and the run needs " +
                      std::to_string(*run.sectors * block_size) +
                      " from byte " + std::to_string(run.offset) + " on");
  }
  return *run.sectors;
}

}  // namespace

CdrdaoLayout cdrdao_layout(const CdrdaoToc& toc,
                           std::span<const TocFileExtent> files,
                           std::string_view toc_name) {
  if (files.size() != toc.files.size()) {
    throw FatalError::equality(
        "cdrdao TOC files against their extents (files == extents)",
        toc.files.size(), files.size());
  }
  CdrdaoLayout layout;
  std::uint64_t lba = 0;
  for (std::size_t t = 0; t < toc.tracks.size(); ++t) {
    const CdrdaoTrack& track = toc.tracks[t];
    const std::uint64_t track_start = lba;
    for (const TocRun& run : track.runs) {
      DiscRun out{.first_lba = lba, .block_size = track.block_size};
      if (run.file) {
        out.sectors =
            file_run_sectors(run, track.block_size, toc.files[*run.file],
                             files[*run.file], toc_name);
        out.file = run.file;
        out.offset = files[*run.file].start + run.offset;
        out.swap = run.swap;
        out.subchannel = track.subchannel.has_value();
      } else {
        out.sectors = *run.sectors;
      }
      lba += out.sectors;
      layout.runs.push_back(out);
    }
    if (lba - track_start <= track.pregap) {
      throw refusal(toc_name, track.line,
                    "TRACK " + two_digits(t + 1) +
                        " ends at or before its index 1, after " +
                        std::to_string(track.pregap) + " sectors of pregap");
    }
    layout.tracks.push_back({track_start + track.pregap, track.data});
    if (track.subchannel) layout.subchannel = track.subchannel;
  }
  layout.lead_out_lba = lba;
  return layout;
}

}  // namespace glyphreel
