// Where the records of a raw subchannel file belong on the disc, by what
// their Q says: the offset between the sector each record was taken to be
// and the one its Q names, the slips where that offset changes (a drive
// that dropped or repeated subchannel), and the records placed sector by
// sector so that graphics stay in step with the audio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "subchannel/q_channel.hpp"

namespace glyphreel {

// Sectors that a rip's files hold, in file order: first_lba .. first_lba +
// sectors - 1 of the disc. A ripper reads the subchannel beside them, so a
// gap in no file between two runs has no records.
struct FileSectors {
  std::int64_t first_lba = 0;
  std::uint64_t sectors = 0;
  bool operator==(const FileSectors&) const = default;
};

// The disc sector each of `records` records is taken to be when record 0 is
// file sector first_sector, the files' sectors counted one after another
// from 0 as --sub-start counts them: file sector s lies in the run that
// holds it; before the first run and past the last the count goes on from
// them. REQUIRES: a run with sectors, first_sector and records below 2^62
// in size; a fatal stop otherwise.
std::vector<std::int64_t> assumed_lbas(std::span<const FileSectors> runs,
                                       std::int64_t first_sector,
                                       std::uint64_t records);

// Good position frames in a row that must agree on a new offset before it
// is taken for a slip: fewer is noise, not a drive that lost its place.
inline constexpr std::uint64_t slip_frames = 5;

// From record `record` on, the records' offset changes by `by` sectors (a
// drop when positive, a repeat when negative); that record belongs at disc
// sector at_lba.
struct Slip {
  std::uint64_t record = 0;
  std::int64_t at_lba = 0;
  std::int64_t by = 0;
  bool operator==(const Slip&) const = default;
};

struct Alignment {
  // Records with a good ADR-1 position (RecordQ::lba).
  std::uint64_t position_frames = 0;
  // The offset the file begins with, Q's sector minus the assumed one: the
  // first held by slip_frames position frames in a row; 0 when none is.
  // Record 0 really is file sector first_sector + start_offset.
  std::int64_t start_offset = 0;
  // Position frames at the offset in force where they lie.
  std::uint64_t agreeing_frames = 0;
  // In record order; empty unless usable().
  std::vector<Slip> slips{};
  bool operator==(const Alignment&) const = default;

  // A clear majority: more than half of the position frames, and at least
  // slip_frames of them, agree with the start offset and the slips. Without
  // it the Q says nothing to trust about where the file lies.
  bool usable() const {
    return agreeing_frames >= slip_frames &&
           2 * agreeing_frames > position_frames;
  }
};

// The alignment of records whose Q is `q` and which were taken to be the
// disc sectors `assumed`, read in record order. An offset held by
// slip_frames position frames in a row becomes the one in force: the first
// such is the start offset, each later one a slip that starts at the first
// frame of its row. Frames without a position neither count in a row nor
// break it; one at the offset in force does break it; shorter rows are
// noise. Records before the first row take the start offset. REQUIRES:
// q.size() == assumed.size() (a fatal stop otherwise), the assumed sectors
// within 2^62 of sector 0, as assumed_lbas makes them.
Alignment align_records(std::span<const RecordQ> q,
                        std::span<const std::int64_t> assumed);

// The first sector a placement covers: cook_subchannel starts the packs of
// sector 0 two records earlier.
inline constexpr std::int64_t placement_first_lba = -2;

// Which record goes to each disc sector placement_first_lba .. lead_out -
// 1, in order; none where no record belongs: an idle record.
struct Placement {
  std::vector<std::optional<std::uint64_t>> records;
  bool operator==(const Placement&) const = default;
};

// Puts each record at its assumed sector plus the offset in force there
// (start_offset, then each slip's); a record that lands where an earlier
// one did is a repeat and is dropped, one that lands outside is dropped, and
// sectors no record lands on stay idle. An alignment without slips and
// start_offset 0 places records where they were assumed. REQUIRES:
// assumed.size() covers the alignment's slip records.
Placement place_records(const Alignment& alignment,
                        std::span<const std::int64_t> assumed,
                        std::uint64_t lead_out_lba);

// The records in placement order, 96 zero bytes for an idle sector: what
// cook_subchannel(stream, form, placement_first_lba, lead_out_lba) cooks.
// REQUIRES: every placed index names a whole record of `records`; a fatal
// stop otherwise.
std::vector<std::uint8_t> placed_records(std::span<const std::uint8_t> records,
                                         const Placement& placement);

}  // namespace glyphreel
