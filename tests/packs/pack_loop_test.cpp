#include "packs/pack_loop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "compose/render.hpp"
#include "disc/spans.hpp"
#include "disc/toc.hpp"
#include "plane/pack_builders.hpp"
#include "sample_disc/disc.hpp"

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
    const FrameCounts counts = run_pack_loop(stream, false, sink);
    EXPECT_EQ(sink.frames.size(), static_cast<std::size_t>(frames)) << packs;
    EXPECT_EQ(counts.written, static_cast<std::uint64_t>(frames));
    // Idle packs never touch the state: the first frame serves throughout.
    EXPECT_EQ(counts.composed, packs > 0 ? 1u : 0u);
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

// Replays the stream on a state of its own and composes the frame of every
// state it reaches (composing again only when the state differs, as equal
// states give equal frames); each frame the loop writes must be byte for
// byte that one. Also counts the frames that the loop handed on again, the
// same bytes as the frame before.
class ComposingReference : public FrameSink {
 public:
  ComposingReference(std::span<const std::uint8_t> stream,
                     bool extended_graphics)
      : stream_(stream), extended_graphics_(extended_graphics) {}

  void write_frame(const RgbFrame& frame) override {
    for (; applied_ < frames_ * packs_per_frame; ++applied_) {
      apply_pack(
          *state_,
          SubcodePack(stream_.subspan(applied_ * pack_size).first<pack_size>()),
          extended_graphics_);
    }
    if (!expected_ || *state_ != *composed_state_) {
      expected_ = compose_frame(*state_, extended_graphics_);
      *composed_state_ = *state_;
    }
    if (std::memcmp(frame.bytes().data(), expected_->bytes().data(),
                    frame_bytes) != 0) {
      mismatched.push_back(frames_);
    }
    const auto address = reinterpret_cast<std::uintptr_t>(frame.bytes().data());
    handed_on += address == last_address_;
    last_address_ = address;
    display_modes.insert(state_->display_mode);
    ++frames_;
  }

  std::vector<std::uint64_t> mismatched;
  std::uint64_t handed_on = 0;
  std::set<DisplayMode> display_modes;

 private:
  std::span<const std::uint8_t> stream_;
  bool extended_graphics_;
  std::unique_ptr<ExtendedGraphicsState> state_ =
      std::make_unique<ExtendedGraphicsState>();
  std::unique_ptr<ExtendedGraphicsState> composed_state_ =
      std::make_unique<ExtendedGraphicsState>();
  std::optional<RgbFrame> expected_;
  std::uint64_t frames_ = 0;
  std::uint64_t applied_ = 0;
  std::uintptr_t last_address_ = 0;
};

// Bursts of packs between idle stretches, so that some frames follow no
// change at all: CD+G and CD+EG instructions with random operands (tile
// blocks mostly on screen and on enabled channels), memory control of every
// low nibble, unknown codes and modes, and repeats of the pack before, which
// write again the values that it wrote.
std::vector<std::uint8_t> random_stream(std::uint32_t seed, std::size_t packs) {
  std::mt19937 random(seed);
  const auto below = [&](unsigned n) { return random() % n; };
  constexpr std::uint8_t graphics_codes[] = {1, 2, 6, 20, 24, 30, 31, 38, 28};
  std::vector<PackBytes> stream;
  while (stream.size() < packs) {
    for (unsigned idle = below(12); idle > 0; --idle) stream.push_back({});
    for (unsigned burst = 1 + below(4); burst > 0; --burst) {
      if (!stream.empty() && stream.back()[0] != 0 && below(4) == 0) {
        stream.push_back(stream.back());
        continue;
      }
      PackBytes pack;
      for (std::uint8_t& byte : pack)
        byte = static_cast<std::uint8_t>(random());
      const unsigned kind = below(8);
      pack[0] = kind < 4   ? mode_graphics
                : kind < 7 ? mode_extended_graphics
                           : pack[0];
      pack[1] = pack[0] == mode_graphics ? graphics_codes[below(9)]
                : below(3) == 0          ? 3
                                         : static_cast<std::uint8_t>(below(64));
      if (pack[1] == 6 || pack[1] == 14 || pack[1] == 38) {
        pack[4] &= 0x0F;
        pack[5] &= 0x1F;
        pack[6] = static_cast<std::uint8_t>(below(19));
        pack[7] = static_cast<std::uint8_t>(below(51));
      }
      stream.push_back(pack);
    }
  }
  stream.resize(packs);
  return stream_of(stream);
}

// Track 1 of the sample disc is a lyric page sung and scrolled away to the
// left, track 2 one scrolled away upwards, track 3 the extended graphics.
std::vector<std::uint8_t> sample_track(std::size_t track) {
  static const sample_disc::SampleDisc disc = sample_disc::make_sample_disc();
  const auto ranges = parse_toc(disc.toc);
  const auto span = subcode_span(disc.cdg, ranges, track, track);
  return {span.begin(), span.end()};
}

TEST(PackLoop, FramesHandedOnAreThoseAFreshCompositionGives) {
  const struct {
    std::string name;
    std::vector<std::uint8_t> stream;
  } streams[] = {{"random", random_stream(12, 3000)},
                 {"lyric page scrolled left", sample_track(1)},
                 {"lyric page scrolled up", sample_track(2)},
                 {"extended graphics", sample_track(3)}};
  for (const auto& [name, stream] : streams) {
    for (const bool extended_graphics : {false, true}) {
      SCOPED_TRACE(name + (extended_graphics ? ", cdeg" : ", cdg"));
      ComposingReference reference(stream, extended_graphics);
      const FrameCounts counts =
          run_pack_loop(stream, extended_graphics, reference);
      EXPECT_EQ(reference.mismatched, std::vector<std::uint64_t>{});
      EXPECT_EQ(counts.written, (stream.size() / pack_size + 4) / 5);
      EXPECT_EQ(counts.written - counts.composed, reference.handed_on);
      // Every stream has stretches without a change.
      EXPECT_GT(reference.handed_on, 0u);
      // The frames come from every display mode, switched by memory
      // control, in the extended runs of these two.
      if (extended_graphics && name != "lyric page scrolled left" &&
          name != "lyric page scrolled up") {
        EXPECT_EQ(reference.display_modes.size(), 4u);
      }
    }
  }
}

}  // namespace
}  // namespace glyphreel
