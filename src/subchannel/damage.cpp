#include "subchannel/damage.hpp"

#include <algorithm>
#include <optional>

#include "base/fatal_error.hpp"
#include "base/subcode_pack.hpp"
#include "subchannel/parity.hpp"

namespace glyphreel {
namespace {

constexpr std::size_t sector_size = 96;
constexpr std::size_t sector_packs = sector_size / pack_symbols;
constexpr std::uint8_t symbol_mask = 0x3F;

void count(ParityTally& tally, PackCheck check, bool graphics) {
  ++tally.packs;
  if (graphics) ++tally.graphics_packs;
  switch (check.status) {
    case PackStatus::Valid:
      ++tally.valid;
      break;
    case PackStatus::Corrected:
      ++tally.corrected;
      tally.symbols_corrected +=
          static_cast<std::uint64_t>(check.symbols_corrected);
      break;
    case PackStatus::WithoutParity:
      ++tally.without_parity;
      break;
    case PackStatus::Uncorrectable:
      ++tally.uncorrectable;
      break;
  }
}

// Leaves each byte of the pack its symbol alone; returns how many bytes
// had high bits to clear.
std::uint64_t clear_high_bits(std::span<std::uint8_t, pack_symbols> pack) {
  std::uint8_t any = 0;
  for (const std::uint8_t byte : pack) any |= byte;
  if ((any & ~symbol_mask) == 0) return 0;  // as nearly every pack is
  std::uint64_t cleared = 0;
  for (std::uint8_t& byte : pack) {
    if ((byte & ~symbol_mask) != 0) ++cleared;
    byte &= symbol_mask;
  }
  return cleared;
}

// The first track, in track order, whose range holds the sector.
std::optional<std::size_t> track_of(std::span<const TrackLbaRange> tracks,
                                    std::uint64_t sector) {
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    if (tracks[t].start_lba <= sector && sector < tracks[t].end_lba) return t;
  }
  return std::nullopt;
}

}  // namespace

DamageReport correct_packs(std::span<std::uint8_t> cooked,
                           std::span<const TrackLbaRange> tracks,
                           UncorrectablePacks uncorrectable) {
  if (cooked.size() % sector_size != 0) {
    throw FatalError("assertion failed: cooked.size() % 96 == 0");
  }
  DamageReport report;
  report.tracks.resize(tracks.size());
  for (std::size_t t = 0; t < tracks.size(); ++t)
    report.tracks[t].number = t + 1;

  const std::uint64_t sectors = cooked.size() / sector_size;
  for (std::uint64_t sector = 0; sector < sectors; ++sector) {
    const std::optional<std::size_t> track = track_of(tracks, sector);
    bool sector_damaged = false;
    for (std::size_t k = 0; k < sector_packs; ++k) {
      const std::span<std::uint8_t, pack_symbols> pack(
          cooked.data() + sector * sector_size + k * pack_symbols,
          pack_symbols);
      report.high_bits_cleared += clear_high_bits(pack);
      const PackCheck check = check_pack(pack);
      const std::uint8_t mode = pack[0] & symbol_mask;
      const bool graphics =
          mode == mode_graphics || mode == mode_extended_graphics;
      const bool damaged = check.status == PackStatus::Corrected ||
                           check.status == PackStatus::Uncorrectable;
      sector_damaged = sector_damaged || damaged;
      if (check.status == PackStatus::Uncorrectable &&
          uncorrectable == UncorrectablePacks::Blank) {
        std::fill(pack.begin(), pack.end(), std::uint8_t{0});
      }
      count(report.totals, check, graphics);
      if (track) count(report.tracks[*track].tally, check, graphics);
    }
    if (track && sector_damaged) {
      TrackDamage& damage = report.tracks[*track];
      if (damage.damaged_sectors.size() < max_damaged_places) {
        damage.damaged_sectors.push_back(sector - tracks[*track].start_lba);
      }
      ++damage.damaged_sector_count;
    }
  }
  return report;
}

}  // namespace glyphreel
