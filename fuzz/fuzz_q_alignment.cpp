// Fuzzes Q decoding, the alignment of records by their Q and their
// placement on the disc.
//
// Input: a four-byte header, then two bytes per record. Header byte 0
// chooses the form (odd: packed, even: interleaved), byte 1 the file sector
// of the first record (less 128), byte 2 a gap in no file after as many
// file sectors (high nibble) as it is long (low nibble), byte 3 how many
// sectors past the records the lead-out lies (less 128). A record's first
// byte chooses its Q (mod 4: a position, the same with one bit flipped, no
// Q, a lead-in frame) and its R-W bits, its second the signed offset of the
// position from the sector the record is assumed to be. Checked: every
// record's Q as built; the alignment against the offsets it says are in
// force; the placement and the stream cooked from it against the rules.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "finding.hpp"
#include "subchannel/alignment.hpp"
#include "subchannel/deinterleave.hpp"
#include "subchannel/q_channel.hpp"
#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t header_size = 4;
constexpr std::size_t record = subchannel_record_size;
constexpr std::int64_t last_lba = 99 * 4500 + 59 * 75 + 74 - 150;

using fuzzing::finding;
using fuzzing::require;

// The offset in force at each record: the start offset, then each slip's.
std::vector<std::int64_t> offsets_in_force(const Alignment& alignment,
                                           std::size_t records) {
  std::vector<std::int64_t> offsets(records);
  std::int64_t offset = alignment.start_offset;
  std::size_t next = 0;
  for (std::size_t r = 0; r < records; ++r) {
    if (next < alignment.slips.size() && alignment.slips[next].record == r) {
      offset += alignment.slips[next++].by;
    }
    offsets[r] = offset;
  }
  require(next == alignment.slips.size(), "slips out of order or repeated");
  return offsets;
}

void check_alignment(const Alignment& alignment, const std::vector<RecordQ>& q,
                     const std::vector<std::int64_t>& assumed) {
  std::uint64_t positions = 0;
  std::optional<std::int64_t> only;
  bool one_offset = true;
  for (std::size_t r = 0; r < q.size(); ++r) {
    if (!q[r].lba) continue;
    ++positions;
    const std::int64_t offset = *q[r].lba - assumed[r];
    one_offset = one_offset && (!only || *only == offset);
    only = offset;
  }
  require(alignment.position_frames == positions, "position frames miscounted");
  require(alignment.agreeing_frames <= positions, "more agree than there are");
  if (one_offset && positions >= slip_frames) {
    require(alignment.usable() && alignment.start_offset == *only &&
                alignment.slips.empty(),
            "one steady offset not found as it is");
  }
  if (!alignment.usable()) {
    require(alignment.slips.empty(), "slips of an unusable alignment");
    return;
  }
  const auto in_force = offsets_in_force(alignment, q.size());
  std::uint64_t agreeing = 0;
  for (std::size_t r = 0; r < q.size(); ++r) {
    if (q[r].lba && *q[r].lba - assumed[r] == in_force[r]) ++agreeing;
  }
  require(agreeing == alignment.agreeing_frames,
          "agreeing frames are not those at the offset in force");
  for (const Slip& slip : alignment.slips) {
    require(slip.by != 0, "a slip by nothing");
    require(q[slip.record].lba && *q[slip.record].lba == slip.at_lba &&
                slip.at_lba - assumed[slip.record] == in_force[slip.record],
            "a slip that does not start at a frame of its offset");
  }
}

void check_placement(const Alignment& alignment,
                     const std::vector<std::int64_t>& assumed,
                     std::uint64_t lead_out, const Bytes& records,
                     SubchannelForm form) {
  const Placement placement = place_records(alignment, assumed, lead_out);
  require(placement.records.size() == lead_out + 2, "placement of wrong size");
  const auto in_force = offsets_in_force(alignment, assumed.size());
  std::vector<bool> placed(assumed.size(), false);
  for (std::size_t at = 0; at < placement.records.size(); ++at) {
    const auto& r = placement.records[at];
    if (!r) continue;
    require(*r < assumed.size() && !placed[*r], "a record placed twice");
    placed[*r] = true;
    require(assumed[*r] + in_force[*r] ==
                static_cast<std::int64_t>(at) + placement_first_lba,
            "a record placed away from its offset");
  }
  for (std::size_t r = 0; r < assumed.size(); ++r) {
    const std::int64_t lba = assumed[r] + in_force[r];
    if (placed[r] || lba < placement_first_lba ||
        lba >= static_cast<std::int64_t>(lead_out)) {
      continue;
    }
    const auto& holder =
        placement.records[static_cast<std::size_t>(lba - placement_first_lba)];
    require(holder && *holder < r, "a record dropped that was no repeat");
  }
  const Bytes stream = placed_records(records, placement);
  require(stream.size() == placement.records.size() * record,
          "stream of wrong size");
  for (std::size_t at = 0; at < placement.records.size(); ++at) {
    const auto from = placement.records[at];
    for (std::size_t i = 0; i < record; ++i) {
      require(
          stream[at * record + i] == (from ? records[*from * record + i] : 0),
          "stream byte not from its record");
    }
  }
  require(cook_subchannel(stream, form, placement_first_lba, lead_out).size() ==
              lead_out * record,
          "cooked dump of the wrong size");
}

// The input itself, twelve bytes at a time, as Q frames: what read_q says
// of each must hold of its bytes.
void check_raw_frames(std::span<const std::uint8_t> input) {
  for (std::size_t at = 0; at + q_frame_size <= input.size(); ++at) {
    QFrame frame;
    std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(at), q_frame_size,
                frame.begin());
    test::QBytes bytes;
    std::copy(frame.begin(), frame.end(), bytes.begin());
    const RecordQ q = read_q(frame);
    const bool zero = std::all_of(frame.begin(), frame.end(),
                                  [](std::uint8_t b) { return b == 0; });
    require((q.status == QStatus::Absent) == zero, "absence misjudged");
    if (zero) continue;
    require((q.status == QStatus::Good) == (test::with_q_crc(bytes) == bytes),
            "CRC misjudged");
    if (q.lba) {
      require((frame[0] & 0x0F) == 1 && frame[1] != 0,
              "a position from a frame that gives none");
      require(*q.lba >= -150 && *q.lba <= last_lba, "a position off any disc");
    }
  }
}

void fuzz_one(std::span<const std::uint8_t> input) {
  check_raw_frames(input);
  if (input.size() < header_size) return;
  const auto form =
      (input[0] & 1) ? SubchannelForm::Packed : SubchannelForm::Interleaved;
  const std::int64_t first_sector = std::int64_t{input[1]} - 128;
  const auto items = input.subspan(header_size);
  const std::size_t count = items.size() / 2;
  if (count == 0) return;
  const std::uint64_t gap_at = input[2] >> 4;
  const std::uint64_t gap = input[2] & 0x0F;
  const std::vector<FileSectors> runs = {
      {0, gap_at}, {static_cast<std::int64_t>(gap_at + gap), 1000}};
  const std::vector<std::int64_t> assumed =
      assumed_lbas(runs, first_sector, count);
  const std::int64_t end =
      std::max<std::int64_t>(0, assumed.back() + std::int64_t{input[3]} - 128);
  const auto lead_out = static_cast<std::uint64_t>(end);

  Bytes interleaved(count * record);
  std::vector<RecordQ> expected(count);
  for (std::size_t r = 0; r < count; ++r) {
    const std::uint8_t kind = items[2 * r];
    const auto offset = static_cast<std::int8_t>(items[2 * r + 1]);
    const std::int64_t lba = assumed[r] + offset;
    const std::span<std::uint8_t> frames(interleaved.data() + r * record,
                                         record);
    for (std::size_t i = 0; i < record; ++i) {
      frames[i] = static_cast<std::uint8_t>((kind + i) & 0xBF);
    }
    if (kind % 4 == 2) {
      std::fill(frames.begin(), frames.end(), 0);  // no Q, no R-W
      continue;
    }
    test::QBytes q = test::lead_in_q(kind);
    expected[r] = {QStatus::Good};
    if (kind % 4 != 3 && lba >= -150 && lba <= last_lba) {
      const unsigned track = kind % 99 + 1;
      q = test::position_q(track, lba);  // index 1 at -150
      expected[r].lba = lba;
      expected[r].track = static_cast<std::uint8_t>(track);
      expected[r].from_index_1 = lba + 150;
    }
    if (kind % 4 == 1) {
      q[kind % 12] ^= static_cast<std::uint8_t>(1u << (kind % 8));
      expected[r] = {QStatus::BadCrc};
    }
    test::put_q(frames, q);
  }
  const Bytes records = form == SubchannelForm::Packed
                            ? test::pack_records(interleaved)
                            : interleaved;
  const std::vector<RecordQ> q = read_records_q(records, form);
  require(q == expected, "Q read other than it was written");

  const Alignment alignment = align_records(q, assumed);
  check_alignment(alignment, q, assumed);
  check_placement(alignment, assumed, lead_out, records, form);
}

}  // namespace
}  // namespace glyphreel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case(
      [&] { glyphreel::fuzz_one(std::span<const std::uint8_t>(data, size)); });
}
