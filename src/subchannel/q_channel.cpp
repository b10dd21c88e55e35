#include "subchannel/q_channel.hpp"

#include <algorithm>

namespace glyphreel {

namespace {

constexpr std::uint16_t crc_polynomial = 0x1021;
constexpr std::size_t packed_q_first = 12;  // after the 12 bytes of P
constexpr std::uint8_t q_bit = 0x40;
constexpr std::uint8_t adr_position = 1;
constexpr std::uint8_t lead_in_track = 0x00;
constexpr std::uint8_t lead_out_track = 0xAA;
constexpr std::int64_t seconds_per_minute = 60;
constexpr std::int64_t frames_per_second = 75;
constexpr std::int64_t lba_zero_frames = 150;  // 00:02:00 is sector 0

using CrcTable = std::array<std::uint16_t, 256>;

// The register after shifting each byte value in, most significant bit
// first, from zero.
constexpr CrcTable make_crc_table() {
  CrcTable table{};
  for (unsigned byte = 0; byte < table.size(); ++byte) {
    unsigned crc = byte << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000u) ? (crc << 1) ^ crc_polynomial : crc << 1;
    }
    table[byte] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

constexpr CrcTable crc_table = make_crc_table();
static_assert(crc_table[1] == crc_polynomial);
static_assert(crc_table[0x80] == 0x9188);  // 0x8000 shifted out once, then 7

// A BCD byte's value when both nibbles are digits and it is below `limit`.
std::optional<std::int64_t> bcd(std::uint8_t byte, std::int64_t limit) {
  const int high = byte >> 4;
  const int low = byte & 0x0F;
  if (high > 9 || low > 9) return std::nullopt;
  const std::int64_t value = high * 10 + low;
  if (value >= limit) return std::nullopt;
  return value;
}

// Minutes, seconds and frames at q[first]: the sector count from 00:00:00.
std::optional<std::int64_t> bcd_time(const QFrame& q, std::size_t first) {
  const auto minutes = bcd(q[first], 100);
  const auto seconds = bcd(q[first + 1], seconds_per_minute);
  const auto frames = bcd(q[first + 2], frames_per_second);
  if (!minutes || !seconds || !frames) return std::nullopt;
  return (*minutes * seconds_per_minute + *seconds) * frames_per_second +
         *frames;
}

}  // namespace

QFrame q_from_interleaved(SubchannelRecord record) {
  QFrame q{};
  for (std::size_t i = 0; i < record.size(); ++i) {
    if (record[i] & q_bit) {
      q[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
    }
  }
  return q;
}

QFrame q_from_packed(SubchannelRecord record) {
  QFrame q{};
  std::copy_n(record.begin() + packed_q_first, q.size(), q.begin());
  return q;
}

std::uint16_t q_crc(std::span<const std::uint8_t, q_crc_covered> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t byte : bytes) {
    crc = static_cast<std::uint16_t>((crc << 8) ^ crc_table[(crc >> 8) ^ byte]);
  }
  return static_cast<std::uint16_t>(~crc);
}

RecordQ read_q(const QFrame& q) {
  if (std::all_of(q.begin(), q.end(), [](std::uint8_t b) { return b == 0; })) {
    return {};
  }
  const auto stored = static_cast<std::uint16_t>(q[10] << 8 | q[11]);
  if (q_crc(std::span<const std::uint8_t, q_crc_covered>(
          q.data(), q_crc_covered)) != stored) {
    return {QStatus::BadCrc};
  }
  RecordQ result{QStatus::Good};
  const std::uint8_t track = q[1];
  if ((q[0] & 0x0F) != adr_position || track == lead_in_track) return result;
  if (track != lead_out_track && !bcd(track, 100)) return result;
  if (!bcd(q[2], 100) || !bcd_time(q, 3)) return result;
  const auto absolute = bcd_time(q, 7);
  if (!absolute) return result;
  result.lba = *absolute - lba_zero_frames;
  // In index 0, the pregap, the relative time counts down to index 1.
  if (track != lead_out_track && *bcd(q[2], 100) >= 1) {
    result.track = static_cast<std::uint8_t>(*bcd(track, 100));
    result.from_index_1 = bcd_time(q, 3);
  }
  return result;
}

std::vector<RecordQ> read_records_q(std::span<const std::uint8_t> records,
                                    SubchannelForm form) {
  const std::size_t count = records.size() / subchannel_record_size;
  std::vector<RecordQ> result(count);
  if (form == SubchannelForm::Cooked) return result;
  for (std::size_t r = 0; r < count; ++r) {
    const SubchannelRecord record(records.data() + r * subchannel_record_size,
                                  subchannel_record_size);
    result[r] =
        read_q(form == SubchannelForm::Packed ? q_from_packed(record)
                                              : q_from_interleaved(record));
  }
  return result;
}

}  // namespace glyphreel
