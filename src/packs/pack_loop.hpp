// The decoder's clock: the subcode span cut into packs, one frame before
// every fifth pack.
#pragma once

#include <cstdint>
#include <span>

#include "compose/rgb_frame.hpp"
#include "packs/graphics_state.hpp"
#include "base/subcode_pack.hpp"

namespace glyphreel {

inline constexpr std::uint64_t packs_per_frame = 5;  // 300 packs/s, 60 fps

// Where the loop's frames go: the encoder's input in a run, memory in tests.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Takes one whole frame; a failure is a fatal stop.
  virtual void write_frame(const RgbFrame& frame) = 0;
};

// The frames a loop handed to its sink, and how many of them it composed;
// the others were the frame before, handed on again.
struct FrameCounts {
  std::uint64_t written = 0;
  std::uint64_t composed = 0;
};

// Decodes the span pack by pack. Before every pack whose index is a
// multiple of 5 the frame of the state so far goes to the sink, so P packs
// give ceil(P / 5) frames. A frame is composed only when a pack has reached
// the state since the last one was; otherwise the sink gets the last frame
// again, the same object, neither recomposed nor copied. A trailing piece
// shorter than a pack is a fatal stop, after the frame due at its index.
FrameCounts run_pack_loop(std::span<const std::uint8_t> subcode_span,
                          bool extended_graphics, FrameSink& sink);

// One pack: mode 9 to the planes, mode 10 to the extended-graphics
// instructions ("cdeg" runs only), anything else ignored. Returns false
// when the run ignores the pack by its mode byte, which leaves the state as
// it was; true when the pack went to an instruction, whether or not that
// changed anything.
bool apply_pack(ExtendedGraphicsState& state, const SubcodePack& pack,
                bool extended_graphics);

// The picture of the current state: the primary plane in a "cdg" run, the
// display mode's choice in a "cdeg" run.
RgbFrame compose_frame(const ExtendedGraphicsState& state,
                       bool extended_graphics);

}  // namespace glyphreel
