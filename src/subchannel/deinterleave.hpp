// From the raw subchannel forms that rippers store to cooked packs: the
// 24-symbol packs a drive delivers, de-interleaved and aligned like its
// output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glyphreel {

enum class SubchannelForm {
  Interleaved,  // frame bytes in order: P in bit 7, Q in bit 6, R-W below
  Packed,       // 8 channels of 12 bytes, P first, frame 0 in bit 7
  Cooked,       // 24-byte packs, already de-interleaved
};

inline constexpr std::size_t subchannel_record_size = 96;  // bytes per sector

// The 96 frame bytes of one sector stored in packed (CloneCD) order:
// frame i's byte takes, for channel c = 0 (P) .. 7 (W), bit 7 - i mod 8 of
// packed byte 12 c + i div 8 into its bit 7 - c.
void unpack_sector(std::span<const std::uint8_t, subchannel_record_size> packed,
                   std::span<std::uint8_t, subchannel_record_size> frames);

// How many records the raw file must hold for image sectors 0 ..
// sector_count - 1 when its first record is image sector first_lba (<= 0).
std::uint64_t subchannel_records_needed(std::int64_t first_lba,
                                        std::uint64_t sector_count);

// The cooked dump (96 bytes per sector) of image sectors 0 ..
// sector_count - 1 from raw records in `form`, the first record being image
// sector first_lba (<= 0).
// Interleaved and Packed: the logical pack that starts at raw pack slot n
// (slot 4 lba + k is symbols 24 k .. 24 k + 23 of sector lba) lands at
// cooked slot n + 8, as a drive delivers it; slots whose logical pack would
// start before the first record are idle (all zero); logical packs landing
// past the end are dropped. Symbols sit in the low six bits, the high bits
// are 0.
// Cooked: the records of sectors 0 .. sector_count - 1 copied as they are;
// correct_packs then clears and counts the high bits they may carry.
// REQUIRES: first_lba <= 0 and records.size() is at least
// subchannel_records_needed(first_lba, sector_count) records; a fatal stop
// otherwise.
std::vector<std::uint8_t> cook_subchannel(std::span<const std::uint8_t> records,
                                          SubchannelForm form,
                                          std::int64_t first_lba,
                                          std::uint64_t sector_count);

}  // namespace glyphreel
