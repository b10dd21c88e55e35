#include "subchannel/alignment.hpp"

#include <algorithm>

#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

// Assumed sectors stay this far from the ends of 64 bits, so that offsets
// and the sectors they lead to never overflow.
constexpr std::int64_t sector_bound = std::int64_t{1} << 62;

// The offset in force record by record, asked in record order: the start
// offset, then each slip's from its record on.
class OffsetsInForce {
 public:
  explicit OffsetsInForce(const Alignment& alignment)
      : slips_(alignment.slips), offset_(alignment.start_offset) {}

  std::int64_t at(std::size_t record) {
    while (next_ < slips_.size() && slips_[next_].record == record) {
      offset_ += slips_[next_++].by;
    }
    return offset_;
  }

  bool all_taken() const { return next_ == slips_.size(); }

 private:
  const std::vector<Slip>& slips_;
  std::int64_t offset_;
  std::size_t next_ = 0;
};

}  // namespace

std::vector<std::int64_t> assumed_lbas(std::span<const FileSectors> runs,
                                       std::int64_t first_sector,
                                       std::uint64_t records) {
  std::vector<FileSectors> used;
  for (const FileSectors& run : runs) {
    if (run.sectors > 0) used.push_back(run);
  }
  if (used.empty()) {
    throw FatalError("assertion failed: the files hold sectors");
  }
  if (first_sector <= -sector_bound || first_sector >= sector_bound ||
      records >= static_cast<std::uint64_t>(sector_bound)) {
    throw FatalError("assertion failed: the records lie within 2^62 sectors");
  }
  std::vector<std::int64_t> lbas(records);
  // The run that holds file sector s, and s's place in it; before the first
  // run s counts back from it.
  std::size_t run = 0;
  std::int64_t run_start = 0;  // file sector of used[run]'s first
  for (std::uint64_t r = 0; r < records; ++r) {
    const std::int64_t s = first_sector + static_cast<std::int64_t>(r);
    while (run + 1 < used.size() &&
           s >= run_start + static_cast<std::int64_t>(used[run].sectors)) {
      run_start += static_cast<std::int64_t>(used[run].sectors);
      ++run;
    }
    lbas[r] = used[run].first_lba + (s - run_start);
  }
  return lbas;
}

Alignment align_records(std::span<const RecordQ> q,
                        std::span<const std::int64_t> assumed) {
  if (q.size() != assumed.size()) {
    throw FatalError::equality(
        "records' Q against their assumed sectors (Q == assumed)", q.size(),
        assumed.size());
  }
  Alignment alignment;
  // The offset in force, none before the first row; the row of frames at
  // another offset that may become the next: its offset, its first record
  // and its length.
  std::optional<std::int64_t> in_force;
  std::int64_t candidate = 0;
  std::uint64_t row_first = 0;
  std::uint64_t row = 0;
  for (std::size_t r = 0; r < q.size(); ++r) {
    if (!q[r].lba) continue;
    ++alignment.position_frames;
    const std::int64_t offset = *q[r].lba - assumed[r];
    if (in_force && offset == *in_force) {
      row = 0;
      continue;
    }
    if (row == 0 || offset != candidate) {
      candidate = offset;
      row_first = r;
      row = 0;
    }
    if (++row < slip_frames) continue;
    if (in_force) {
      alignment.slips.push_back(
          {row_first, assumed[row_first] + candidate, candidate - *in_force});
    } else {
      alignment.start_offset = candidate;
    }
    in_force = candidate;
    row = 0;
  }

  // The frames at the offset in force where they lie, the start offset's
  // before its row included.
  OffsetsInForce offsets(alignment);
  for (std::size_t r = 0; r < q.size(); ++r) {
    const std::int64_t offset = offsets.at(r);
    if (in_force && q[r].lba && *q[r].lba - assumed[r] == offset) {
      ++alignment.agreeing_frames;
    }
  }
  if (!alignment.usable()) alignment.slips.clear();
  return alignment;
}

Placement place_records(const Alignment& alignment,
                        std::span<const std::int64_t> assumed,
                        std::uint64_t lead_out_lba) {
  Placement placement;
  placement.records.resize(lead_out_lba +
                           static_cast<std::uint64_t>(-placement_first_lba));
  const auto end = static_cast<std::int64_t>(lead_out_lba);
  OffsetsInForce offsets(alignment);
  for (std::size_t r = 0; r < assumed.size(); ++r) {
    const std::int64_t lba = assumed[r] + offsets.at(r);
    if (lba < placement_first_lba || lba >= end) continue;
    auto& slot =
        placement.records[static_cast<std::size_t>(lba - placement_first_lba)];
    if (!slot) slot = r;
  }
  if (!offsets.all_taken()) {
    throw FatalError("assertion failed: the assumed sectors cover the slips");
  }
  return placement;
}

std::vector<std::uint8_t> placed_records(std::span<const std::uint8_t> records,
                                         const Placement& placement) {
  const std::size_t count = records.size() / subchannel_record_size;
  std::vector<std::uint8_t> stream(placement.records.size() *
                                   subchannel_record_size);
  auto out = stream.begin();
  for (const auto& record : placement.records) {
    if (record) {
      if (*record >= count) {
        throw FatalError("assertion failed: a placed record is in the file");
      }
      const auto from = records.begin() + static_cast<std::ptrdiff_t>(
                                              *record * subchannel_record_size);
      std::copy(from, from + subchannel_record_size, out);
    }
    out += subchannel_record_size;
  }
  return stream;
}

}  // namespace glyphreel
