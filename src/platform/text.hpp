// Unicode checks for the arguments that must be text (track numbers, mode).
// Pure functions, built and tested on every platform.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glyphreel::platform {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// UTF-16 to UTF-8, or nothing when a surrogate is unpaired.
std::optional<std::string> utf8_from_utf16(std::u16string_view units);

// The bytes as UTF-8 text for a report: every byte that does not begin a
// valid sequence becomes U+FFFD.
std::string utf8_lossy(std::string_view bytes);

}  // namespace glyphreel::platform
