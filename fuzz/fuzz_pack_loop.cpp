// Fuzzes the pack loop over arbitrary subcode bytes.
//
// Input: one byte whose lowest bit chooses the run ("cdg" when clear,
// "cdeg" when set), then the subcode span. Pack contents are never an
// error, so the only fatal stop allowed is the one for a span that ends in
// a piece shorter than a pack; the frames written must follow the cadence
// of one frame before every fifth pack, and every byte of every frame must
// be a level that the composer can produce.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <span>

#include "base/fatal_error.hpp"
#include "compose/rgb_frame.hpp"
#include "finding.hpp"
#include "packs/pack_loop.hpp"
#include "base/subcode_pack.hpp"

// Fill every fresh allocation, whole frames included, with a byte no
// composer writes (0xBE: neither 16 t + 8, 255 nor a multiple of 4), so
// that a frame byte left unwritten shows up in the level check. The name
// is AddressSanitizer's hook for built-in options.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" const char* __asan_default_options() {
  return "malloc_fill_byte=190:max_malloc_fill_size=262144";
}

namespace {

using glyphreel::FatalError;
using glyphreel::RgbFrame;

using fuzzing::finding;
using fuzzing::require;

// Which levels a frame holds: a plane through its 16-entry table shows
// 16 v + 8 per channel, the mixed picture that or 255 for a saturated sum,
// the 256-colour picture 6-bit channels times 4. One pass over the bytes,
// left out of the coverage feedback and the sanitizers: it is the
// oracle, not the code under test, and it reads every byte of every frame
// through a span of the frame's fixed size.
struct FrameLevels {
  bool all_eight;             // the initial state: colour 0 of a zero table
  bool all_sixteen_v_plus_8;  // a plane through its own table
  bool all_sixteen_colour;    // 16 v + 8 or 255
  bool all_256_colour;        // multiples of 4
};

__attribute__((no_sanitize("coverage", "address", "undefined"))) FrameLevels
levels_of(std::span<const std::uint8_t, glyphreel::frame_bytes> bytes) {
  // Byte-wide accumulators of what each level test finds wrong, so that
  // the loop vectorises; indices rather than the span's iterators, whose
  // out-of-line instrumented copies would bring the feedback back.
  std::uint8_t not_eight = 0;
  std::uint8_t not_v_plus_8 = 0;
  std::uint8_t not_sixteen_colour = 0;
  std::uint8_t not_256_colour = 0;
  const std::uint8_t* data = bytes.data();
  for (std::size_t i = 0; i < glyphreel::frame_bytes; ++i) {
    const std::uint8_t byte = data[i];
    const std::uint8_t off_v_plus_8 = (byte & 0x0F) ^ 0x08;
    not_eight |= byte ^ 0x08;
    not_v_plus_8 |= off_v_plus_8;
    not_sixteen_colour |= (off_v_plus_8 != 0) & (byte != 0xFF);
    not_256_colour |= byte & 0x03;
  }
  return {not_eight == 0, not_v_plus_8 == 0, not_sixteen_colour == 0,
          not_256_colour == 0};
}

class CheckingSink : public glyphreel::FrameSink {
 public:
  explicit CheckingSink(bool extended_graphics)
      : extended_graphics_(extended_graphics) {}

  void write_frame(const RgbFrame& frame) override {
    const auto bytes = frame.bytes();
    require(bytes.size() == glyphreel::frame_bytes,
            "frame is not 202176 bytes");
    const FrameLevels levels = levels_of(bytes);
    if (frames_ == 0) {
      // Before the first pack: the initial plane, colour 0 of an all-zero
      // table everywhere.
      require(levels.all_eight, "first frame does not show the initial state");
    } else if (!extended_graphics_) {
      require(levels.all_sixteen_v_plus_8,
              "cdg frame holds a byte that is not 16 v + 8");
    } else {
      require(levels.all_sixteen_colour || levels.all_256_colour,
              "cdeg frame holds a byte that no display mode produces");
    }
    ++frames_;
  }

  std::uint64_t frames() const { return frames_; }

 private:
  bool extended_graphics_;
  std::uint64_t frames_ = 0;
};

void fuzz_one(std::span<const std::uint8_t> input) {
  if (input.empty()) return;
  const bool extended_graphics = (input[0] & 1) != 0;
  const auto span = input.subspan(1);
  const std::uint64_t packs = span.size() / glyphreel::pack_size;
  const bool short_piece = span.size() % glyphreel::pack_size != 0;
  const std::uint64_t per_frame = glyphreel::packs_per_frame;
  // Whole packs give ceil(P / 5) frames; a short piece after them still
  // gets the frame due at index P (when P is a multiple of 5) before the
  // stop, so floor(P / 5) + 1 in that case.
  const std::uint64_t expected_frames =
      short_piece ? packs / per_frame + 1 : (packs + per_frame - 1) / per_frame;

  CheckingSink sink(extended_graphics);
  bool stopped = false;
  try {
    glyphreel::run_pack_loop(span, extended_graphics, sink);
  } catch (const FatalError& error) {
    require(!error.report().empty(), "fatal stop with an empty report");
    stopped = true;
  }
  require(stopped == short_piece,
          stopped ? "fatal stop on a span of whole packs"
                  : "no fatal stop on a span ending in a short piece");
  require(sink.frames() == expected_frames, "wrong number of frames");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case(
      [&] { fuzz_one(std::span<const std::uint8_t>(data, size)); });
}
