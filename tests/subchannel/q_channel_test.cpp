#include "subchannel/q_channel.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

using test::QBytes;

// A frame read off a real disc: track 3, index 1, 00:07:43 into the track,
// 08:54:68 on the disc.
constexpr QBytes real_frame = {0x01, 0x03, 0x01, 0x00, 0x07, 0x43,
                               0x00, 0x08, 0x54, 0x68, 0x4B, 0xA2};

QFrame frame(const QBytes& bytes) {
  QFrame q;
  std::copy(bytes.begin(), bytes.end(), q.begin());
  return q;
}

TEST(QChannel, ReadsPositionsOnlyFromGoodAdrOneFrames) {
  QBytes bad_crc = real_frame;
  bad_crc[5] ^= 0x01;
  QBytes bad_stored = real_frame;
  bad_stored[11] ^= 0x80;
  struct Case {
    const char* what;
    QBytes q;
    RecordQ read;
  };
  const std::vector<Case> cases = {
      {"the real frame", real_frame, {QStatus::Good, 39968, 3, 568}},
      {"a bit of the time flipped", bad_crc, {QStatus::BadCrc}},
      {"a bit of the CRC flipped", bad_stored, {QStatus::BadCrc}},
      {"no Q at all", QBytes{}, {QStatus::Absent}},
      {"track 1's pregap in index 0",
       test::position_q(1, -150, 0),
       {QStatus::Good, -150}},
      {"sector 0", test::position_q(1, 0, 0), {QStatus::Good, 0, 1, 0}},
      {"an hour in",
       test::position_q(12, 270000, 269000),
       {QStatus::Good, 270000, 12, 1000}},
      {"the lead-out",
       test::with_q_crc({0x01, 0xAA, 0x01, 0, 0, 0, 0, 0x60, 0x00, 0x00}),
       {QStatus::Good, 269850}},
      {"the lead-in", test::lead_in_q(1), {QStatus::Good}},
      {"ADR 2, a catalogue number",
       test::with_q_crc(
           {0x02, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x30, 0x00, 0x42}),
       {QStatus::Good}},
      {"seconds 60",
       test::with_q_crc({0x01, 0x01, 0x01, 0, 0, 0, 0, 0x01, 0x60, 0x00}),
       {QStatus::Good}},
      {"frames 75",
       test::with_q_crc({0x01, 0x01, 0x01, 0, 0, 0, 0, 0x01, 0x00, 0x75}),
       {QStatus::Good}},
      {"a track number that is not BCD",
       test::with_q_crc({0x01, 0x1A, 0x01, 0, 0, 0, 0, 0x01, 0x00, 0x00}),
       {QStatus::Good}},
      {"relative time not BCD",
       test::with_q_crc({0x01, 0x01, 0x01, 0, 0x0F, 0, 0, 0x01, 0x00, 0x00}),
       {QStatus::Good}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read_q(frame(c.q)), c.read) << c.what;
  }
  EXPECT_EQ(q_crc(std::span<const std::uint8_t, q_crc_covered>(
                real_frame.data(), q_crc_covered)),
            0x4BA2);
}

TEST(QChannel, TakesQFromBitSixOrFromThePackedBytes) {
  // Noise in every other channel of two records, real Q in one of them.
  std::mt19937 rng(6);
  std::vector<std::uint8_t> interleaved(3 * 96);
  for (std::uint8_t& byte : interleaved) byte = rng() & 0xBF;
  test::put_q(std::span(interleaved).subspan(96, 96), real_frame);
  test::put_q(std::span(interleaved).subspan(192, 96),
              test::position_q(2, 1000));
  const std::vector<RecordQ> expected = {
      {QStatus::Absent},
      {QStatus::Good, 39968, 3, 568},
      {QStatus::Good, 1000, 2, 1150}};
  EXPECT_EQ(read_records_q(interleaved, SubchannelForm::Interleaved), expected);
  EXPECT_EQ(
      read_records_q(test::pack_records(interleaved), SubchannelForm::Packed),
      expected);
  EXPECT_EQ(read_records_q(interleaved, SubchannelForm::Cooked),
            std::vector<RecordQ>(3));
}

}  // namespace
}  // namespace glyphreel
