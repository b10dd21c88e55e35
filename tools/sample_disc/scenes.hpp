// Screens of a karaoke disc built from packs: the title screen, lyric pages
// drawn tile by tile and sung character by character, and the scrolls that
// carry a page away. Every scene is returned as its own timeline starting
// at pack 0 and opens with a colour load and a memory preset, so it stands
// alone wherever it is placed. Pages are laid out on the visible window of
// tile rows 1 ... 16 and columns 1 ... 48.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "sample_disc/pack_writer.hpp"
#include "sample_disc/timeline.hpp"

namespace glyphreel::sample_disc {

using Palette = std::array<Rgb, 16>;

// Every page palette uses the same indices for the same roles.
inline constexpr std::uint8_t colour_background = 0;
inline constexpr std::uint8_t colour_border = 1;
inline constexpr std::uint8_t colour_frame = 2;
inline constexpr std::uint8_t colour_frame_light = 3;
inline constexpr std::uint8_t colour_band = 4;
inline constexpr std::uint8_t colour_text = 5;
inline constexpr std::uint8_t colour_sung = 6;
inline constexpr std::uint8_t colour_marker = 7;
inline constexpr std::uint8_t colour_banner = 8;
inline constexpr std::uint8_t colour_banner_light = 9;
inline constexpr std::uint8_t colour_title = 10;
inline constexpr std::uint8_t colour_star = 11;

inline constexpr std::uint8_t first_visible_row = 1;
inline constexpr std::uint8_t last_visible_row = 16;
inline constexpr std::uint8_t first_visible_column = 1;
inline constexpr std::uint8_t last_visible_column = 48;

// Diamonds touching corner to corner across neighbouring tiles.
inline constexpr TilePattern diamond_pattern = {
    0x0C, 0x1E, 0x3F, 0x3F, 0x1E, 0x0C, 0x0C, 0x1E, 0x3F, 0x3F, 0x1E, 0x0C};

// Stripes three pixels wide rising to the right; they run on across
// neighbouring tiles because 6 and 12 are multiples of their period 6.
inline constexpr TilePattern stripe_pattern = {
    0x38, 0x31, 0x23, 0x07, 0x0E, 0x1C, 0x38, 0x31, 0x23, 0x07, 0x0E, 0x1C};

// The tune that lyric pages sing, one key per character, going round.
class Melody {
 public:
  double next_frequency();

 private:
  std::size_t position_ = 0;
};

struct PageTiming {
  std::uint64_t draw_gap = 1;  // packs from one frame or band tile to the next
  std::uint64_t text_gap = 4;  // packs from one drawn character to the next
  std::uint64_t note_packs = 36;  // one sung character
};

// Leftmost column that centres `text` in the visible window.
std::uint8_t centred_column(std::string_view text);

// Rows first_row ... last_row, columns first_col ... last_col.
struct TileBox {
  std::uint8_t first_row;
  std::uint8_t last_row;
  std::uint8_t first_col;
  std::uint8_t last_col;
};

// Every tile of `box`, row by row, one tile every `gap` packs.
void draw_box(Timeline& t, const TileBox& box, std::uint8_t colour0,
              std::uint8_t colour1, const TilePattern& pattern,
              std::uint64_t gap);

// Colour table, three memory presets to the background, border preset.
void open_page(Timeline& t, const Palette& palette);

// One row of text, one tile per character; spaces are left undrawn.
void draw_text(Timeline& t, std::uint8_t row, std::uint8_t col,
               std::string_view text, std::uint8_t colour0,
               std::uint8_t colour1, std::uint64_t gap);

// Changes the colour of the line centred on `row` from text to sung,
// character by character and one pixel column at a time with XOR tile
// blocks, one note per character and a pause at each space, while a ball in
// the row above marks the character being sung. The ball is gone at the end.
void sing_line(Timeline& t, std::uint8_t row, std::string_view text,
               Melody& melody, std::uint64_t note_packs);

// Moves the picture `tiles` tiles left (pixel by pixel through the fine
// offsets), filling the exposed columns with `fill`.
void scroll_left(Timeline& t, std::uint8_t fill, std::size_t tiles,
                 std::uint64_t gap);
// The same upwards, two pixels a step.
void scroll_up(Timeline& t, std::uint8_t fill, std::size_t tiles,
               std::uint64_t gap);

enum class PageExit { ScrollLeft, ScrollUp };

// A framed page of one to five centred lines of at most 46 characters:
// drawn, sung, then scrolled away. Throws std::invalid_argument for no
// lines or more than five.
Timeline lyric_page(const Palette& palette,
                    std::span<const std::string_view> lines, Melody& melody,
                    const PageTiming& timing, PageExit exit);

// A framed title: the first line on a striped banner, up to three more
// below it, held until `length_packs` (or as long as drawing takes, if
// longer) while a few stars twinkle, over a quiet chord.
Timeline title_screen(const Palette& palette,
                      std::span<const std::string_view> lines,
                      std::uint64_t length_packs);

}  // namespace glyphreel::sample_disc
