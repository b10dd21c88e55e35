// The extended-graphics track: the display modes one after another. The
// primary plane alone, the secondary plane alone, both planes mixed, then
// the 256-colour picture whose low nibbles come from the primary plane and
// high nibbles from the secondary plane, shown under three colour tables
// in turn. Opens with a colour load for the primary plane, so it stands
// alone, and switches every mode with an explicit memory control.
#pragma once

#include "sample_disc/scenes.hpp"
#include "sample_disc/timeline.hpp"

namespace glyphreel::sample_disc {

Timeline extended_graphics_track(Melody& melody);

}  // namespace glyphreel::sample_disc
