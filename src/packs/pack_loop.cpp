#include "packs/pack_loop.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "base/fatal_error.hpp"
#include "compose/render.hpp"
#include "packs/extended_graphics.hpp"
#include "plane/instructions.hpp"

namespace glyphreel {

FrameCounts run_pack_loop(std::span<const std::uint8_t> subcode_span,
                          bool extended_graphics, FrameSink& sink) {
  // The state holds two planes of 43 KiB each: one allocation per run.
  const auto state = std::make_unique<ExtendedGraphicsState>();
  // Most packs of a disc are idle, and composing is the loop's whole cost:
  // the last frame is kept and handed on again until a pack reaches the
  // state. Any pack that reaches an instruction counts as a change, so the
  // frames are always those a fresh composition would give.
  std::optional<RgbFrame> last_frame;
  bool state_touched = true;
  FrameCounts counts;
  std::uint64_t pack_index = 0;
  while (!subcode_span.empty()) {
    const std::size_t chunk = std::min(subcode_span.size(), pack_size);
    if (pack_index % packs_per_frame == 0) {
      if (state_touched) {
        last_frame = compose_frame(*state, extended_graphics);
        state_touched = false;
        ++counts.composed;
      }
      sink.write_frame(*last_frame);
      ++counts.written;
    }
    if (chunk < pack_size) {
      throw FatalError("subcode span ends in a piece of " +
                       std::to_string(chunk) +
                       " bytes, shorter than a 24-byte pack");
    }
    const SubcodePack pack(subcode_span.first<pack_size>());
    subcode_span = subcode_span.subspan(pack_size);
    ++pack_index;
    if (apply_pack(*state, pack, extended_graphics)) state_touched = true;
  }
  return counts;
}

bool apply_pack(ExtendedGraphicsState& state, const SubcodePack& pack,
                bool extended_graphics) {
  if (pack.mode() == mode_graphics) {
    if (extended_graphics) {
      route_graphics_pack(state, pack);
    } else {
      apply_instruction(state.primary, pack);
    }
    return true;
  }
  if (extended_graphics && pack.mode() == mode_extended_graphics) {
    apply_extended_pack(state, pack);
    return true;
  }
  return false;
}

RgbFrame compose_frame(const ExtendedGraphicsState& state,
                       bool extended_graphics) {
  if (!extended_graphics) return render_plane(state.primary);
  switch (state.display_mode) {
    case display_256_colour:
      return render_256_colour(state.primary, state.secondary,
                               state.rgb_table_256);
    case display_secondary:
      return render_plane(state.secondary);
    case display_mixed:
      return render_mixed(state.primary, state.secondary);
    default:
      return render_plane(state.primary);
  }
}

}  // namespace glyphreel
