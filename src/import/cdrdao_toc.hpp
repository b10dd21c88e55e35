// The cdrdao TOC file reader: the tracks of a rip as runs of sectors, each
// from a file or a gap in no file, where each track's index 1 lies and its
// CD-TEXT title and performer; then, once the files' sizes are known, the
// disc's layout: track addresses, the lead-out and the runs that make the
// disc image and its subchannel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disc/toc_writer.hpp"
#include "import/disc_run.hpp"
#include "subchannel/deinterleave.hpp"

namespace glyphreel {

// Bytes per sample frame (two 16-bit channels) and sample frames per sector:
// lengths of audio count samples of 1/44100 s.
inline constexpr std::uint64_t bytes_per_sample = 4;
inline constexpr std::uint64_t samples_per_sector = 588;

// A file named by FILE, AUDIOFILE or DATAFILE, each name once.
struct TocFile {
  std::string name;   // as written, quotes and escapes removed
  bool wave = false;  // the name ends in .wav: samples after a WAVE header
  bool operator==(const TocFile&) const = default;
};

// Sectors of a track in the order its statements give them: from a file, or
// a gap of zeros in no file (SILENCE, ZERO, PREGAP).
struct TocRun {
  std::optional<std::size_t>
      file{};  // index into CdrdaoToc::files; none: a gap
  // None when FILE or DATAFILE gave no length: the run goes on to the end of
  // its file, known once the file's size is (cdrdao_layout).
  std::optional<std::uint64_t> sectors{};
  // Of the run's first block in the file, counted from where its samples
  // or blocks begin (a WAVE file's data chunk; a raw file's first byte).
  std::uint64_t offset = 0;
  // The file holds big-endian samples, and disc.img little-endian ones: each
  // 16-bit sample is byte-swapped. Raw audio files are big-endian unless
  // SWAP says otherwise; a .wav file is little-endian unless SWAP says
  // otherwise; data is never swapped.
  bool swap = false;
  std::size_t line = 0;  // of the statement, for refusals once sizes are known
  bool operator==(const TocRun&) const = default;
};

// The title and performer of the first CD-TEXT language block (LANGUAGE 0),
// as the file's strings hold them (escapes decoded; the disc's character
// code, mostly ISO 8859-1); empty when there is none.
struct CdText {
  std::string title;
  std::string performer;
  bool operator==(const CdText&) const = default;
};

struct CdrdaoTrack {
  bool data = false;  // MODE1_RAW or MODE2_RAW rather than AUDIO
  // How the last 96 bytes of each block hold the subchannel: Interleaved for
  // RW_RAW (raw frame bytes), Cooked for RW (packs the drive corrected).
  // None: blocks are bare 2352-byte sectors.
  std::optional<SubchannelForm> subchannel{};
  std::size_t block_size = 0;  // bytes per block in its files: 2352 or 2448
  std::vector<TocRun> runs{};
  std::uint64_t pregap = 0;  // sectors before index 1 (START, PREGAP)
  CdText text{};
  std::size_t line = 0;  // of its TRACK statement
  bool operator==(const CdrdaoTrack&) const = default;
};

struct CdrdaoToc {
  std::vector<TocFile> files;  // in the order they are first named
  std::vector<CdrdaoTrack> tracks;
  CdText text;  // the disc's
  bool operator==(const CdrdaoToc&) const = default;
};

// Reads a cdrdao TOC file: `//` comments, the header (CATALOG, the session
// type, the disc's CD_TEXT block) and one TRACK block after another:
// its mode (AUDIO, MODE1_RAW or MODE2_RAW: the modes whose blocks are whole
// 2352-byte sectors) and sub-channel mode (RW or RW_RAW add 96 bytes to each
// block; one disc's tracks carry one kind), its flags, ISRC and CD_TEXT, and
// its statements in order: SILENCE, ZERO, PREGAP, FILE or AUDIOFILE (name,
// SWAP, #byte offset, start and length), DATAFILE (name, #byte offset,
// length), START and INDEX. Lengths and starts are mm:ss:ff (75 sectors a
// second) or plain numbers, counting samples in audio tracks and bytes of
// the track's blocks in data tracks; a number that is not a whole number of
// sectors is refused, and so is a length of 0 for a gap. A FILE length of 0,
// or none, runs to the end of the file. START (with no time: all the track
// so far) and PREGAP say where index 1 lies; INDEX positions, counted from
// index 1, are checked to increase and not kept.
//
// A refusal is a FatalError that names the file, the line and the word it
// could not take, such as "disc.toc line 4: unknown statement SUBTITLE".
CdrdaoToc parse_cdrdao_toc(std::string_view text, std::string_view toc_name);

// Where the caller found a file's samples or blocks: a raw file's are all
// its bytes; a WAVE file's are its data chunk's.
struct TocFileExtent {
  std::uint64_t start = 0;  // byte where they begin
  std::uint64_t bytes = 0;  // how many bytes they are
  bool operator==(const TocFileExtent&) const = default;
};

struct CdrdaoLayout {
  std::vector<TocTrack> tracks;  // each at its index 1, for build_toc
  std::uint64_t lead_out_lba = 0;
  // Every sector 0 .. lead_out_lba - 1 once, in disc order; the first track
  // starts at sector 0 with its pregap.
  std::vector<DiscRun> runs;
  // The form of every run with a subchannel; none when no track has one.
  std::optional<SubchannelForm> subchannel;
  bool operator==(const CdrdaoLayout&) const = default;
};

// The disc's layout, the tracks one after another from sector 0, once each
// file's extent is known. A fatal stop, naming the TOC file's line, when a
// run needs bytes past its file's end, a run to the end of a file finds no
// whole blocks there, or a track does not reach past its index 1.
// REQUIRES: one extent per toc.files.
CdrdaoLayout cdrdao_layout(const CdrdaoToc& toc,
                           std::span<const TocFileExtent> files,
                           std::string_view toc_name);

// Turns big-endian 16-bit samples into little-endian ones, or back, in
// place; a trailing odd byte stays.
void swap_sample_bytes(std::span<std::uint8_t> samples);

}  // namespace glyphreel
