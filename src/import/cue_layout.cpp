// The disc a cue sheet describes, once its files' sizes are known: the
// files one after another, the gaps in no file between their sectors.
#include <algorithm>

#include "base/fatal_error.hpp"
#include "base/text.hpp"
#include "disc/toc.hpp"
#include "import/cue_sheet.hpp"

namespace glyphreel {

namespace {

constexpr std::size_t cdg_sector_size = img_frame_size + cdg_frame_size;

// Lays the runs out in disc order, then places each track on them.
class Layout {
 public:
  Layout(const CueSheet& sheet, std::span<const std::uint64_t> file_sectors)
      : sheet_(sheet),
        sizes_(file_sectors),
        block_size_(sheet.cdg ? cdg_sector_size : img_frame_size) {}

  CueLayout lay_out() {
    std::size_t gap = 0;
    for (std::size_t f = 0; f < sizes_.size(); ++f) {
      std::uint64_t at = 0;  // the file's next sector to lay out
      for (; gap < sheet_.gaps.size() && sheet_.gaps[gap].file == f; ++gap) {
        const std::uint64_t position =
            std::min(sheet_.gaps[gap].position, sizes_[f]);
        file_run(f, at, position);
        at = position;
        push({.first_lba = layout_.lead_out_lba,
              .sectors = sheet_.gaps[gap].sectors,
              .block_size = block_size_});
      }
      file_run(f, at, sizes_[f]);
    }
    for (const CueTrack& track : sheet_.tracks) place(track);
    return std::move(layout_);
  }

 private:
  void push(const DiscRun& run) {
    if (run.sectors == 0) return;
    layout_.runs.push_back(run);
    layout_.lead_out_lba += run.sectors;
  }

  void file_run(std::size_t file, std::uint64_t from, std::uint64_t to) {
    push({.first_lba = layout_.lead_out_lba,
          .sectors = to - from,
          .file = file,
          .offset = from * block_size_,
          .block_size = block_size_,
          .subchannel = sheet_.cdg});
  }

  // A track's address: the disc sector of its INDEX 01, in the run of its
  // file that holds it.
  void place(const CueTrack& track) {
    const std::uint64_t size = sizes_[track.file];
    if (track.index_01 >= size) {
      throw FatalError("track " + std::to_string(track.number) +
                       " starts at sector " + std::to_string(track.index_01) +
                       " of " + quote_argument(sheet_.files[track.file]) +
                       ", which holds only " + std::to_string(size) +
                       " sectors");
    }
    const std::uint64_t byte = track.index_01 * block_size_;
    for (const DiscRun& run : layout_.runs) {
      if (run.file == track.file && run.offset <= byte &&
          byte < run.offset + run.sectors * block_size_) {
        layout_.tracks.push_back(
            {run.first_lba + (byte - run.offset) / block_size_, track.data});
        return;
      }
    }
    throw FatalError("assertion failed: a file run holds each track's start");
  }

  const CueSheet& sheet_;
  std::span<const std::uint64_t> sizes_;
  std::size_t block_size_;
  CueLayout layout_;
};

}  // namespace

CueLayout cue_layout(const CueSheet& sheet,
                     std::span<const std::uint64_t> file_sectors) {
  if (file_sectors.size() != sheet.files.size()) {
    throw FatalError::equality(
        "cue sheet files against their sector counts (files == counts)",
        sheet.files.size(), file_sectors.size());
  }
  return Layout(sheet, file_sectors).lay_out();
}

}  // namespace glyphreel
