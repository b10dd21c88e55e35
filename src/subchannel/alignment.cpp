#include "subchannel/alignment.hpp"

#include <algorithm>

#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

// Assumed sectors stay this far from the ends of 64 bits, so that offsets
// and the sectors they lead to never overflow.
constexpr std::int64_t sector_bound = std::int64_t{1} << 62;

// The most common value of a sorted list and how often it occurs; the
// smallest of equally common ones.
std::pair<std::int64_t, std::uint64_t> most_common(
    const std::vector<std::int64_t>& sorted) {
  std::pair<std::int64_t, std::uint64_t> best{0, 0};
  for (std::size_t i = 0; i < sorted.size();) {
    std::size_t end = i;
    while (end < sorted.size() && sorted[end] == sorted[i]) ++end;
    if (end - i > best.second) best = {sorted[i], end - i};
    i = end;
  }
  return best;
}

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
  std::vector<std::int64_t> offsets;
  for (std::size_t r = 0; r < q.size(); ++r) {
    if (q[r].lba) offsets.push_back(*q[r].lba - assumed[r]);
  }
  alignment.position_frames = offsets.size();
  std::sort(offsets.begin(), offsets.end());
  const auto [offset, frames] = most_common(offsets);
  alignment.start_offset = offset;
  alignment.agreeing_frames = frames;
  if (!alignment.usable()) return alignment;

  // A row of frames at one new offset: where it began and how long it is.
  std::int64_t in_force = alignment.start_offset;
  std::int64_t candidate = 0;
  std::uint64_t row_first = 0;
  std::uint64_t row = 0;
  for (std::size_t r = 0; r < q.size(); ++r) {
    if (!q[r].lba) continue;
    const std::int64_t offset = *q[r].lba - assumed[r];
    if (offset == in_force) {
      row = 0;
      continue;
    }
    if (row == 0 || offset != candidate) {
      candidate = offset;
      row_first = r;
      row = 0;
    }
    if (++row == slip_frames) {
      alignment.slips.push_back(
          {row_first, assumed[row_first] + candidate, candidate - in_force});
      in_force = candidate;
      row = 0;
    }
  }
  return alignment;
}

Placement place_records(const Alignment& alignment,
                        std::span<const std::int64_t> assumed,
                        std::uint64_t lead_out_lba) {
  Placement placement;
  placement.records.resize(lead_out_lba +
                           static_cast<std::uint64_t>(-placement_first_lba));
  const auto end = static_cast<std::int64_t>(lead_out_lba);
  std::int64_t offset = alignment.start_offset;
  std::size_t next_slip = 0;
  for (std::size_t r = 0; r < assumed.size(); ++r) {
    while (next_slip < alignment.slips.size() &&
           alignment.slips[next_slip].record == r) {
      offset += alignment.slips[next_slip++].by;
    }
    const std::int64_t lba = assumed[r] + offset;
    if (lba < placement_first_lba || lba >= end) continue;
    auto& slot =
        placement.records[static_cast<std::size_t>(lba - placement_first_lba)];
    if (!slot) slot = r;
  }
  if (next_slip < alignment.slips.size()) {
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
