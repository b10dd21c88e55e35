#include "packs/pack_loop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "compose/render.hpp"
#include "base/fatal_error.hpp"
#include "plane/pack_builders.hpp"

namespace glyphreel {
namespace {

using test::PackBytes;

class MemorySink : public FrameSink {
 public:
  void write_frame(const RgbFrame& frame) override {
    frames.emplace_back(frame.bytes().begin(), frame.bytes().end());
  }
  std::vector<std::vector<std::uint8_t>> frames;
};

std::vector<std::uint8_t> stream_of(const std::vector<PackBytes>& packs) {
  std::vector<std::uint8_t> bytes;
  for (const PackBytes& pack : packs) {
    bytes.insert(bytes.end(), pack.begin(), pack.end());
  }
  return bytes;
}

std::vector<PackBytes> idle_packs(std::size_t count) {
  return std::vector<PackBytes>(count, PackBytes{});
}

bool all_bytes_are(const std::vector<std::uint8_t>& frame, std::uint8_t value) {
  return std::all_of(frame.begin(), frame.end(),
                     [&](std::uint8_t byte) { return byte == value; });
}

std::vector<std::uint8_t> as_bytes(const RgbFrame& frame) {
  return {frame.bytes().begin(), frame.bytes().end()};
}

TEST(PackLoop, OneFrameBeforeEveryFifthPack) {
  for (const auto& [packs, frames] :
       {std::pair{0, 0}, {1, 1}, {4, 1}, {5, 1}, {6, 2}, {8, 2}, {400, 80},
        {401, 81}}) {
    MemorySink sink;
    const auto stream = stream_of(idle_packs(packs));
    run_pack_loop(stream, false, sink);
    EXPECT_EQ(sink.frames.size(), static_cast<std::size_t>(frames)) << packs;
    for (const auto& frame : sink.frames) {
      ASSERT_EQ(frame.size(), frame_bytes);
      EXPECT_TRUE(all_bytes_are(frame, 8));
    }
  }
}

TEST(PackLoop, FrameShowsThePacksBeforeIt) {
  // Pack 0 loads white into colour 1; pack 4 fills the plane with colour 1;
  // pack 5 fills it with colour 0 again, after the second frame.
  std::vector<PackBytes> packs = idle_packs(8);
  packs[0] = test::load_colour_table_pack(
      false, {0x00, 0x00, 0x3F, 0x3F});
  packs[4] = test::memory_preset_pack(1);
  packs[5] = test::memory_preset_pack(0);
  MemorySink sink;
  run_pack_loop(stream_of(packs), false, sink);
  ASSERT_EQ(sink.frames.size(), 2u);
  EXPECT_TRUE(all_bytes_are(sink.frames[0], 8));
  // The border stays colour 0; the window shows colour 1 as 248.
  const auto& second = sink.frames[1];
  EXPECT_EQ(second[0], 8);
  const std::size_t window_pixel = (20 * frame_width + 20) * 3;
  EXPECT_EQ(second[window_pixel], 248);
  EXPECT_EQ(second[window_pixel + 2], 248);
}

TEST(PackLoop, ShortTailStopsAfterTheFrameDueAtIt) {
  auto stream = stream_of(idle_packs(5));
  stream.resize(stream.size() + 10);
  MemorySink sink;
  EXPECT_THROW(run_pack_loop(stream, false, sink), FatalError);
  EXPECT_EQ(sink.frames.size(), 2u);

  auto tail_only = stream_of(idle_packs(3));
  tail_only.resize(tail_only.size() + 23);
  MemorySink no_frame_due;
  EXPECT_THROW(run_pack_loop(tail_only, false, no_frame_due), FatalError);
  EXPECT_EQ(no_frame_due.frames.size(), 1u);
}

TEST(ComposeFrame, ExtendedRunShowsWhatTheDisplayModeChooses) {
  ExtendedGraphicsState state;
  state.primary.border_colour = 3;
  state.primary.colour_table[3] = {15, 0, 0};
  state.secondary.border_colour = 5;
  state.secondary.colour_table[5] = {0, 15, 0};
  state.rgb_table_256[0x53] = {1, 2, 3};

  state.display_mode = display_secondary;
  // A "cdg" run shows the primary plane whatever the display mode.
  EXPECT_EQ(as_bytes(compose_frame(state, false)),
            as_bytes(render_plane(state.primary)));
  EXPECT_EQ(as_bytes(compose_frame(state, true)),
            as_bytes(render_plane(state.secondary)));
  state.display_mode = display_primary;
  EXPECT_EQ(as_bytes(compose_frame(state, true)),
            as_bytes(render_plane(state.primary)));
  state.display_mode = display_mixed;
  const auto mixed = as_bytes(compose_frame(state, true));
  EXPECT_EQ(mixed[0], 248);  // red 15 + 0
  EXPECT_EQ(mixed[1], 248);  // green 0 + 15
  EXPECT_EQ(mixed[2], 8);
  state.display_mode = display_256_colour;
  const auto palette = as_bytes(compose_frame(state, true));
  EXPECT_EQ(palette[0], 1);
  EXPECT_EQ(palette[1], 2);
  EXPECT_EQ(palette[2], 3);
}

}  // namespace
}  // namespace glyphreel
