// The release number, set once in the build (the project's VERSION) and
// compiled in from there.
#pragma once

#include <string_view>

namespace glyphreel {

inline constexpr std::string_view version = GLYPHREEL_VERSION;

}  // namespace glyphreel
