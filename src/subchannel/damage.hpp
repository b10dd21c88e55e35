// What checking and correcting a cooked subchannel dump found, by track.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "disc/toc.hpp"

namespace glyphreel {

// Counts of packs by what their parity said. Every pack counts once in
// exactly one of valid, corrected, without_parity and uncorrectable.
struct ParityTally {
  std::uint64_t packs = 0;
  std::uint64_t graphics_packs = 0;  // mode 9 or 10, after correction
  std::uint64_t valid = 0;           // idle, or parity says it is intact
  std::uint64_t corrected = 0;
  std::uint64_t symbols_corrected = 0;
  std::uint64_t without_parity = 0;  // non-idle, all six parity symbols zero
  std::uint64_t uncorrectable = 0;
  bool operator==(const ParityTally&) const = default;
};

// The report keeps the first few damaged places of each track.
inline constexpr std::size_t max_damaged_places = 5;

struct TrackDamage {
  std::uint64_t number = 0;  // track number, counted from 1
  ParityTally tally;
  // The sectors that hold corrected or uncorrectable packs, each once, in
  // disc order, at most max_damaged_places of them: counted from the
  // track's first sector (75 sectors a second).
  std::vector<std::uint64_t> damaged_sectors;
  // All the track's sectors that hold such packs, listed or not.
  std::uint64_t damaged_sector_count = 0;
  bool operator==(const TrackDamage&) const = default;
};

struct DamageReport {
  std::vector<TrackDamage> tracks;  // one per track given, in track order
  ParityTally totals;               // every pack of the dump, tracks or not
  // Bytes of the dump whose two high bits (P and Q, not part of a symbol)
  // were set, and are cleared.
  std::uint64_t high_bits_cleared = 0;
  bool operator==(const DamageReport&) const = default;
};

// What to write for a pack that parity cannot repair.
enum class UncorrectablePacks { Keep, Blank };

// Checks every 24-byte pack of a cooked dump (96 bytes per sector, sector 0
// first) and corrects in place what parity can; an uncorrectable pack stays
// as read (Keep) or becomes an idle all-zero pack (Blank). Every byte is
// left with its symbol alone, the two high bits cleared, as glyphreel reads
// a pack's mode from the whole byte. Packs are counted by the track whose
// sector range holds them, and all in the totals.
// REQUIRES: cooked.size() is a multiple of 96.
DamageReport correct_packs(std::span<std::uint8_t> cooked,
                           std::span<const TrackLbaRange> tracks,
                           UncorrectablePacks uncorrectable);

}  // namespace glyphreel
