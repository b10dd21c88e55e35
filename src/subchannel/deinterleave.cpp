#include "subchannel/deinterleave.hpp"

#include <algorithm>
#include <array>
#include <limits>

#include "base/fatal_error.hpp"

namespace glyphreel {
namespace {

constexpr std::size_t slot_symbols = 24;
constexpr std::size_t slots_per_sector = 4;
constexpr std::size_t channels = 8;
constexpr std::size_t channel_bytes = subchannel_record_size / channels;
constexpr std::uint8_t symbol_mask = 0x3F;
static_assert(slot_symbols * slots_per_sector == subchannel_record_size);

// A logical pack spreads over eight slots, and a drive delivers it eight
// slots (two sectors) after the slot where it starts. So the cooked packs of
// sector lba are made of raw sectors lba - 2, lba - 1 and lba alone: a
// window of three records, the first holding the start of every pack.
constexpr std::size_t delay_sectors = 2;
constexpr std::size_t window_sectors = delay_sectors + 1;
constexpr std::size_t window_size = window_sectors * subchannel_record_size;

// The column of the raw slot that holds symbol c of a logical pack: three
// pairs of columns are swapped.
constexpr std::size_t raw_column(std::size_t c) {
  constexpr std::array<std::array<std::size_t, 2>, 3> swapped = {
      {{1, 18}, {2, 5}, {3, 23}}};
  for (const auto& [a, b] : swapped) {
    if (c == a) return b;
    if (c == b) return a;
  }
  return c;
}

// Where each byte of a cooked sector comes from in its window: symbol c of
// the pack starting at window slot k sits at raw symbol position
// (k + (s(c) & 7)) * 24 + s(c).
using WindowOffsets = std::array<std::uint16_t, subchannel_record_size>;

constexpr WindowOffsets make_window_offsets() {
  WindowOffsets offsets{};
  for (std::size_t k = 0; k < slots_per_sector; ++k) {
    for (std::size_t c = 0; c < slot_symbols; ++c) {
      const std::size_t column = raw_column(c);
      offsets[k * slot_symbols + c] = static_cast<std::uint16_t>(
          (k + (column & 7)) * slot_symbols + column);
    }
  }
  return offsets;
}

constexpr WindowOffsets window_offsets = make_window_offsets();
static_assert(window_offsets[0] == 0);            // the mode waits not
static_assert(window_offsets[4] == 4 * 24 + 4);   // symbol 4: four slots
static_assert(window_offsets[1] == 2 * 24 + 18);  // s(1) = 18, 18 & 7 = 2
static_assert(window_offsets[3 * 24 + 23] == 6 * 24 + 3);  // s(23) = 3
static_assert(*std::max_element(window_offsets.begin(), window_offsets.end()) <
              window_size);

void cook_sector(const std::uint8_t* window, std::uint8_t* cooked) {
  for (std::size_t i = 0; i < subchannel_record_size; ++i) {
    cooked[i] = window[window_offsets[i]] & symbol_mask;
  }
}

std::span<const std::uint8_t, subchannel_record_size> record(
    std::span<const std::uint8_t> records, std::uint64_t index) {
  return std::span<const std::uint8_t, subchannel_record_size>(
      records.data() + index * subchannel_record_size, subchannel_record_size);
}

std::span<std::uint8_t, subchannel_record_size> window_sector(
    std::array<std::uint8_t, window_size>& window, std::size_t index) {
  return std::span<std::uint8_t, subchannel_record_size>(
      window.data() + index * subchannel_record_size, subchannel_record_size);
}

}  // namespace

void unpack_sector(std::span<const std::uint8_t, subchannel_record_size> packed,
                   std::span<std::uint8_t, subchannel_record_size> frames) {
  // Eight frames at a time: byte b of each channel holds frames 8 b .. 8 b + 7
  // from bit 7 down, so the eight channel bytes turn as a bit matrix.
  for (std::size_t b = 0; b < channel_bytes; ++b) {
    for (std::size_t j = 0; j < 8; ++j) {
      unsigned byte = 0;
      for (std::size_t c = 0; c < channels; ++c) {
        const unsigned bit = (packed[channel_bytes * c + b] >> (7 - j)) & 1u;
        byte |= bit << (7 - c);
      }
      frames[8 * b + j] = static_cast<std::uint8_t>(byte);
    }
  }
}

std::uint64_t subchannel_records_needed(std::int64_t first_lba,
                                        std::uint64_t sector_count) {
  if (first_lba > 0) return sector_count;
  // -first_lba without overflow, even for the most negative value.
  const std::uint64_t before = static_cast<std::uint64_t>(-(first_lba + 1)) + 1;
  if (sector_count > std::numeric_limits<std::uint64_t>::max() - before) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return before + sector_count;
}

std::vector<std::uint8_t> cook_subchannel(std::span<const std::uint8_t> records,
                                          SubchannelForm form,
                                          std::int64_t first_lba,
                                          std::uint64_t sector_count) {
  if (first_lba > 0) throw FatalError("assertion failed: first_lba <= 0");
  const std::uint64_t needed =
      subchannel_records_needed(first_lba, sector_count);
  if (records.size() / subchannel_record_size < needed) {
    throw FatalError(
        "assertion failed: the subchannel records cover the image's sectors");
  }
  const std::uint64_t before = needed - sector_count;  // records before lba 0
  // Zero-filled: every pack not written below stays idle.
  std::vector<std::uint8_t> cooked(sector_count * subchannel_record_size);
  if (form == SubchannelForm::Cooked) {
    const auto from =
        records.subspan(before * subchannel_record_size, cooked.size());
    std::copy(from.begin(), from.end(), cooked.begin());
    return cooked;
  }

  // Sector lba's packs start in record lba - 2 + before; before the first
  // record there is nothing to start them, and they stay idle.
  const std::uint64_t first_sector =
      before >= delay_sectors ? 0 : delay_sectors - before;
  if (first_sector >= sector_count) return cooked;
  std::uint8_t* out = cooked.data() + first_sector * subchannel_record_size;
  std::uint64_t window_first = first_sector + before - delay_sectors;

  if (form == SubchannelForm::Interleaved) {
    for (std::uint64_t lba = first_sector; lba < sector_count; ++lba) {
      cook_sector(record(records, window_first++).data(), out);
      out += subchannel_record_size;
    }
    return cooked;
  }

  // Packed: unpack each record once into a sliding window of three.
  std::array<std::uint8_t, window_size> window{};
  for (std::size_t i = 1; i < window_sectors; ++i) {
    unpack_sector(record(records, window_first + i - 1),
                  window_sector(window, i));
  }
  for (std::uint64_t lba = first_sector; lba < sector_count; ++lba) {
    std::copy(window.begin() + subchannel_record_size, window.end(),
              window.begin());
    unpack_sector(record(records, window_first + delay_sectors),
                  window_sector(window, delay_sectors));
    cook_sector(window.data(), out);
    out += subchannel_record_size;
    ++window_first;
  }
  return cooked;
}

}  // namespace glyphreel
