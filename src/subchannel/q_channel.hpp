// The Q subchannel of a raw record: its 96 bits as 12 bytes, the CRC that
// guards them, and the position an ADR-1 frame gives: the disc sector the
// record really belongs to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "subchannel/deinterleave.hpp"

namespace glyphreel {

// CONTROL and ADR, track, index, relative time, zero, absolute time (each
// time minutes, seconds, frames in BCD), and the CRC high byte first.
inline constexpr std::size_t q_crc_covered = 10;
inline constexpr std::size_t q_frame_size = q_crc_covered + 2;
using QFrame = std::array<std::uint8_t, q_frame_size>;

using SubchannelRecord = std::span<const std::uint8_t, subchannel_record_size>;

// The Q bits of an interleaved record, bit 6 of each of its 96 frame bytes,
// most significant first.
QFrame q_from_interleaved(SubchannelRecord record);

// The Q bits of a packed record: its bytes 12 .. 23.
QFrame q_from_packed(SubchannelRecord record);

// The CRC-16 that Q stores in bytes 10 and 11: polynomial x^16 + x^12 + x^5
// + 1, most significant bit first, register starting at 0, inverted.
std::uint16_t q_crc(std::span<const std::uint8_t, q_crc_covered> bytes);

enum class QStatus : std::uint8_t {
  Absent,  // all 12 bytes zero: the form keeps no Q (or the drive gave none)
  BadCrc,
  Good,
};

struct RecordQ {
  QStatus status = QStatus::Absent;
  // The disc sector an ADR-1 frame with a good CRC names, (MM x 60 + SS) x 75
  // + FF - 150 from its absolute time; none for any other frame, and for
  // lead-in frames (track 0, which carry the table of contents) and frames
  // whose numbers are not BCD (seconds below 60, frames below 75).
  std::optional<std::int64_t> lba{};
  // With lba, for a frame of tracks 1-99 in index 1 or later: the track
  // and the sectors from its index 1 by the relative time. Where a rip's
  // first sector lies on the disc follows from these, whatever lies before
  // the first track's index 1 (its pregap, a hidden track, or nothing).
  std::uint8_t track = 0;
  std::optional<std::int64_t> from_index_1{};
  bool operator==(const RecordQ&) const = default;
};

RecordQ read_q(const QFrame& q);

// The Q of each whole record in `form`; Cooked records keep no Q, and read
// as Absent.
std::vector<RecordQ> read_records_q(std::span<const std::uint8_t> records,
                                    SubchannelForm form);

}  // namespace glyphreel
