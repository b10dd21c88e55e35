#include "packs/pack_loop.hpp"

#include <algorithm>
#include <memory>
#include <string>

#include "compose/render.hpp"
#include "base/fatal_error.hpp"
#include "packs/extended_graphics.hpp"
#include "plane/instructions.hpp"

namespace glyphreel {

void run_pack_loop(std::span<const std::uint8_t> subcode_span,
                   bool extended_graphics, FrameSink& sink) {
  // The state holds two planes of 43 KiB each: one allocation per run.
  const auto state = std::make_unique<ExtendedGraphicsState>();
  std::uint64_t pack_index = 0;
  while (!subcode_span.empty()) {
    const std::size_t chunk = std::min(subcode_span.size(), pack_size);
    if (pack_index % packs_per_frame == 0) {
      sink.write_frame(compose_frame(*state, extended_graphics));
    }
    if (chunk < pack_size) {
      throw FatalError("subcode span ends in a piece of " +
                       std::to_string(chunk) +
                       " bytes, shorter than a 24-byte pack");
    }
    const SubcodePack pack(subcode_span.first<pack_size>());
    subcode_span = subcode_span.subspan(pack_size);
    ++pack_index;
    apply_pack(*state, pack, extended_graphics);
  }
}

void apply_pack(ExtendedGraphicsState& state, const SubcodePack& pack,
                bool extended_graphics) {
  if (!extended_graphics) {
    if (pack.mode() == mode_graphics) apply_instruction(state.primary, pack);
    return;
  }
  if (pack.mode() == mode_graphics) {
    route_graphics_pack(state, pack);
  } else if (pack.mode() == mode_extended_graphics) {
    apply_extended_pack(state, pack);
  }
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
