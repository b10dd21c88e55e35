// Fuzzes the cdrdao TOC file reader and the disc layout made from it.
//
// Input: the TOC file's text. A refusal is an expected outcome and must name
// the file. An accepted file must hold what the reader promises: 1 to 99
// tracks, each with runs, blocks of 2352 bytes or 2448 with a sub-channel,
// one sub-channel form, gaps with a length, runs of named files. Then each
// file is given just the bytes its runs need (a run to the end of its file
// gets one block more than its offset, or as many as reach a whole block),
// and the layout must be exactly what the runs say: accepted unless a track
// ends at its index 1, runs one after another from sector 0, each track at
// its start plus its pregap. With one byte less in any file the layout must
// be refused.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "base/fatal_error.hpp"
#include "disc/toc_writer.hpp"
#include "finding.hpp"
#include "import/cdrdao_toc.hpp"

namespace glyphreel {
namespace {

constexpr std::string_view toc_name = "fuzz.toc";

using fuzzing::finding;
using fuzzing::require;

void check_toc(const CdrdaoToc& toc) {
  require(!toc.tracks.empty() && toc.tracks.size() <= 99,
          "accepted no tracks or more than 99");
  std::optional<SubchannelForm> form;
  for (const TocFile& file : toc.files) {
    require(!file.name.empty(), "accepted a file without a name");
  }
  for (const CdrdaoTrack& track : toc.tracks) {
    require(!track.runs.empty(), "accepted a track without runs");
    require(track.block_size ==
                (track.subchannel ? 2352 + subchannel_record_size : 2352),
            "block size does not match the sub-channel mode");
    if (track.subchannel) {
      require(!form || *form == *track.subchannel, "sub-channel forms mixed");
      form = track.subchannel;
    }
    for (const TocRun& run : track.runs) {
      if (run.file) {
        require(*run.file < toc.files.size(), "run of no file");
        require(!run.sectors || *run.sectors > 0, "file run of no sectors");
        require(!track.data || !run.swap, "data swapped");
      } else {
        require(run.sectors && *run.sectors > 0, "gap without a length");
        require(run.offset == 0 && !run.swap, "gap with a file's offset");
      }
    }
  }
}

// The bytes each file needs for its runs; none for a file whose runs to
// its end cannot all end on whole blocks.
std::vector<std::optional<TocFileExtent>> fitting_extents(
    const CdrdaoToc& toc) {
  std::vector<std::uint64_t> needed(toc.files.size(), 0);
  for (const CdrdaoTrack& track : toc.tracks) {
    for (const TocRun& run : track.runs) {
      if (!run.file) continue;
      const std::uint64_t blocks = run.sectors ? *run.sectors : 1;
      needed[*run.file] =
          std::max(needed[*run.file], run.offset + blocks * track.block_size);
    }
  }
  std::vector<std::optional<TocFileExtent>> extents;
  for (std::size_t f = 0; f < toc.files.size(); ++f) {
    std::uint64_t bytes = needed[f];
    bool first_open = true;
    bool fits = true;
    for (const CdrdaoTrack& track : toc.tracks) {
      for (const TocRun& run : track.runs) {
        if (run.file != f || run.sectors) continue;
        const std::uint64_t rest = (bytes - run.offset) % track.block_size;
        if (first_open && rest != 0) bytes += track.block_size - rest;
        fits = fits && (bytes - run.offset) % track.block_size == 0;
        first_open = false;
      }
    }
    if (fits) {
      extents.push_back(TocFileExtent{toc.files[f].wave ? 44u : 0u, bytes});
    } else {
      extents.emplace_back();
    }
  }
  return extents;
}

void check_layout(const CdrdaoToc& toc, const CdrdaoLayout& layout,
                  std::span<const TocFileExtent> extents) {
  require(layout.tracks.size() == toc.tracks.size(), "tracks lost");
  std::uint64_t lba = 0;
  std::size_t at = 0;
  for (std::size_t t = 0; t < toc.tracks.size(); ++t) {
    const CdrdaoTrack& track = toc.tracks[t];
    const std::uint64_t start = lba;
    for (const TocRun& run : track.runs) {
      require(at < layout.runs.size(), "runs lost");
      const DiscRun& out = layout.runs[at++];
      require(out.first_lba == lba, "runs do not follow one another");
      require(out.block_size == track.block_size, "block size changed");
      require(out.file == run.file && out.swap == run.swap,
              "run's file or byte order changed");
      require(!run.sectors || out.sectors == *run.sectors,
              "run's length changed");
      if (run.file) {
        const TocFileExtent& extent = extents[*run.file];
        require(out.offset == extent.start + run.offset, "offset moved");
        require(run.offset + out.sectors * track.block_size <= extent.bytes,
                "run leaves its file");
        require(run.sectors ||
                    run.offset + out.sectors * track.block_size == extent.bytes,
                "run to the end of its file stops short");
        require(out.subchannel == track.subchannel.has_value(),
                "sub-channel flag lost");
      } else {
        require(!out.subchannel, "gap with a sub-channel");
      }
      lba += out.sectors;
    }
    require(lba - start > track.pregap, "track ends at its index 1");
    require(layout.tracks[t] == TocTrack{start + track.pregap, track.data},
            "track not at its start plus its pregap");
  }
  require(at == layout.runs.size() && layout.lead_out_lba == lba,
          "lead-out is not the end of the runs");
  if (lba <= 0xFFFFFFFF) build_toc(layout.tracks, layout.lead_out_lba);
}

// Whether every track reaches past its index 1 once the runs to a file's
// end are resolved against the extents.
bool tracks_reach_index_1(const CdrdaoToc& toc,
                          std::span<const TocFileExtent> extents) {
  for (const CdrdaoTrack& track : toc.tracks) {
    std::uint64_t sectors = 0;
    for (const TocRun& run : track.runs) {
      sectors += run.sectors ? *run.sectors
                             : (extents[*run.file].bytes - run.offset) /
                                   track.block_size;
    }
    if (sectors <= track.pregap) return false;
  }
  return true;
}

void check_placement(const CdrdaoToc& toc) {
  // Offsets near the end of 64 bits stand for files no disc has.
  for (const CdrdaoTrack& track : toc.tracks) {
    for (const TocRun& run : track.runs) {
      if (run.offset > std::uint64_t{1} << 50) return;
    }
  }
  const auto fitting = fitting_extents(toc);
  std::vector<TocFileExtent> extents;
  for (const auto& extent : fitting) {
    if (!extent) return;
    extents.push_back(*extent);
  }
  const bool reach = tracks_reach_index_1(toc, extents);
  try {
    check_layout(toc, cdrdao_layout(toc, extents, toc_name), extents);
    require(reach, "accepted a track that ends at its index 1");
  } catch (const FatalError& error) {
    require(!reach, "refused runs that fit their files");
    require(error.report().starts_with(toc_name),
            "layout refusal does not name the file");
  }
  for (TocFileExtent& extent : extents) {
    --extent.bytes;
    try {
      cdrdao_layout(toc, extents, toc_name);
      finding("accepted a file one byte short");
    } catch (const FatalError&) {
    }
    ++extent.bytes;
  }
}

void fuzz_one(std::string_view text) {
  CdrdaoToc toc;
  try {
    toc = parse_cdrdao_toc(text, toc_name);
  } catch (const FatalError& error) {
    require(error.report().starts_with(toc_name),
            "refusal does not name the file");
    return;
  }
  check_toc(toc);
  check_placement(toc);
}

}  // namespace
}  // namespace glyphreel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case([&] {
    glyphreel::fuzz_one(
        std::string_view(reinterpret_cast<const char*>(data), size));
  });
}
