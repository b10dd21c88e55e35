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

// The name as UTF-8: taken as it is when UTF-8 is expected (the entry flags
// it so, or was made on Unix or macOS) and it is well-formed, otherwise read
// as code page 437, which DOS and Windows zip tools write. Backslashes,
// which some Windows tools put between folders, become '/'.
std::string zip_name_text(std::span<const std::uint8_t> stored,
                          bool utf8_expected);

}  // namespace glyphreel
