// The built-in lettering of the sample disc: capital letters, digits, the
// space and a few punctuation marks, one character per 6 x 12 tile. Each
// glyph is 5 pixels wide, leaving the rightmost pixel column clear as the
// gap to the next character, and stands on rows 1 ... 11.
#pragma once

#include <string_view>

#include "sample_disc/pack_writer.hpp"

namespace glyphreel::sample_disc {

// Whether the font draws `c`. Lower-case letters count as their capitals.
bool has_glyph(char c);

// The tile pattern of `c`; a blank tile for the space and for anything the
// font does not draw.
TilePattern glyph(char c);

// Whether every character of `text` has a glyph.
bool font_covers(std::string_view text);

}  // namespace glyphreel::sample_disc
