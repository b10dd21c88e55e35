// A rip whose inputs have been read: the files that hold its sectors, the
// runs of disc sectors they make, its tracks and where its subchannel
// comes from; and the steps every rip command shares, from finding its
// files to writing the dumps or checking them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disc/toc_writer.hpp"
#include "import/disc_run.hpp"
#include "import/report.hpp"
#include "main/glyphreel-import/command_line.hpp"
#include "main/glyphreel-import/outputs.hpp"
#include "subchannel/deinterleave.hpp"

namespace glyphreel {

// An input file, with its name as reports show it.
struct RipFile {
  NativeString path;
  std::string name;
};

struct Rip {
  std::vector<RipFile> files;  // DiscRun::file indexes these
  std::vector<DiscRun> runs;   // every sector 0 .. lead_out_lba - 1 once
  std::vector<TocTrack> tracks;
  std::uint64_t lead_out_lba = 0;
  // A file of 96-byte records beside the sectors of the runs from files,
  // in file order; none when the runs' blocks carry the subchannel.
  std::optional<RipFile> subchannel_file;
  SubchannelForm form = SubchannelForm::Interleaved;
  SubStart start;  // of a subchannel file; Default for one in the blocks
};

// Imports the rip into the dumps, or with options.check reports on it and
// writes nothing. The subchannel is placed by its Q where it says so (see
// SubStart), cooked and corrected; the image is copied run by run, the
// audio of each block byte-swapped where its run says so.
void import_rip(const Rip& rip, const RipOptions& options,
                ImportOutputs& outputs);

// The path of a file that a sheet or control file names: `name` in
// `folder` as written; else with `\` read as a folder separator; else a
// file of its folder whose name differs only in the case of ASCII
// letters. As written when none of these exists, so that opening it
// reports it missing.
NativeString locate_input(const NativeString& folder, const NativeString& name);

// The subchannel of a rip, cooked, with what its Q said.
struct RipSubchannel {
  std::vector<std::uint8_t> cooked;  // 96 bytes per disc sector
  QReport q;  // Q frames counted by the track their records went to
};

// Reads the rip's subchannel records (from its file, or from the blocks of
// its runs through `files`, opened in the rip's file order), places them
// by their Q as rip.start says and cooks them. A fatal stop when the
// subchannel file does not cover the files' sectors from its start, or
// when --sub-start auto finds no usable Q.
RipSubchannel rip_subchannel(const Rip& rip,
                             std::vector<platform::OpenFile>& files);

// Calls take(blocks, count) for the run's blocks in pieces of whole blocks
// of at most copy_chunk_size bytes, read from its file from the run's
// offset on. A fatal stop when the file ends before the run.
void read_run_blocks(const DiscRun& run, platform::OpenFile& file,
                     const RipFile& source,
                     const std::function<void(std::span<const std::uint8_t>,
                                              std::uint64_t)>& take);

// "1 sector", "75 sectors".
std::string sectors_text(std::uint64_t count);

}  // namespace glyphreel
