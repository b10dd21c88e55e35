// Entry names as zips store them, made into UTF-8 text with '/' between
// folders.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace glyphreel {

// True when the text is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool is_utf8(std::string_view text);

// The name as UTF-8: taken as it is when the entry flags it as UTF-8 and it
// is well-formed, otherwise read as code page 437, which DOS and Windows zip
// tools write. Backslashes, which some Windows tools put between folders,
// become '/'.
std::string zip_name_text(std::span<const std::uint8_t> stored,
                          bool flagged_utf8);

}  // namespace glyphreel
