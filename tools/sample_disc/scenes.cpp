#include "sample_disc/scenes.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "sample_disc/audio.hpp"
#include "sample_disc/font.hpp"

namespace glyphreel::sample_disc {
namespace {

// A pentatonic tune of 32 keys; each page picks it up where the last one
// left off, so the words and the tune drift against each other.
constexpr std::array<int, 32> tune = {
    67, 69, 72, 69, 67, 64, 62, 64, 67, 67, 69, 72, 74, 72, 69, 67,
    64, 67, 69, 67, 64, 62, 60, 62, 64, 67, 64, 62, 60, 62, 64, 60};
constexpr double melody_level = 0.3;
constexpr double pad_level = 0.05;

constexpr TilePattern ball = {0x00, 0x00, 0x00, 0x00, 0x00, 0x08,
                              0x1C, 0x3E, 0x1C, 0x08, 0x00, 0x00};
constexpr TilePattern star = {0x00, 0x00, 0x08, 0x08, 0x2A, 0x1C,
                              0x3E, 0x1C, 0x2A, 0x08, 0x08, 0x00};

// One glyph column (bits 5 ... 1) per wipe step; bit 0 is the gap.
constexpr std::array<std::uint8_t, 5> wipe_columns = {0x20, 0x10, 0x08, 0x04,
                                                      0x02};

constexpr std::uint8_t inner_first_row = first_visible_row + 1;
constexpr std::uint8_t inner_last_row = last_visible_row - 1;

std::uint8_t u8(std::size_t v) { return static_cast<std::uint8_t>(v); }

// Leaves `gap` packs from the start of the pack just written to the next.
void pace(Timeline& t, std::uint64_t gap) {
  if (gap > 1) t.rest(gap - 1);
}

// A ring of diamond tiles on the outermost visible rows and columns, drawn
// clockwise from the top left.
void draw_frame(Timeline& t, std::uint64_t gap) {
  auto put = [&](std::size_t row, std::size_t col) {
    tile_block(t.packs(), TileDraw::Normal, colour_frame, colour_frame_light,
               u8(row), u8(col), diamond_pattern);
    pace(t, gap);
  };
  for (std::size_t c = first_visible_column; c <= last_visible_column; ++c) {
    put(first_visible_row, c);
  }
  for (std::size_t r = inner_first_row; r <= inner_last_row; ++r) {
    put(r, last_visible_column);
  }
  for (std::size_t c = last_visible_column; c >= first_visible_column; --c) {
    put(last_visible_row, c);
  }
  for (std::size_t r = inner_last_row; r >= inner_first_row; --r) {
    put(r, first_visible_column);
  }
}

// A strip across the inside of the frame.
void draw_band(Timeline& t, std::uint8_t row, std::uint8_t colour0,
               std::uint8_t colour1, const TilePattern& pattern,
               std::uint64_t gap) {
  draw_box(t, {row, row, first_visible_column + 1, last_visible_column - 1},
           colour0, colour1, pattern, gap);
}

void xor_tile(Timeline& t, std::uint8_t colour, std::uint8_t row,
              std::uint8_t col, const TilePattern& pattern) {
  tile_block(t.packs(), TileDraw::Xor, 0, colour, row, col, pattern);
}

}  // namespace

double Melody::next_frequency() {
  const int key = tune[position_];
  position_ = (position_ + 1) % tune.size();
  return key_frequency(key);
}

void draw_box(Timeline& t, const TileBox& box, std::uint8_t colour0,
              std::uint8_t colour1, const TilePattern& pattern,
              std::uint64_t gap) {
  for (std::size_t r = box.first_row; r <= box.last_row; ++r) {
    for (std::size_t c = box.first_col; c <= box.last_col; ++c) {
      tile_block(t.packs(), TileDraw::Normal, colour0, colour1, u8(r), u8(c),
                 pattern);
      pace(t, gap);
    }
  }
}

std::uint8_t centred_column(std::string_view text) {
  constexpr std::size_t width = last_visible_column - first_visible_column + 1;
  const std::size_t length = std::min(text.size(), width);
  return u8(first_visible_column + (width - length) / 2);
}

void open_page(Timeline& t, const Palette& palette) {
  load_colour_table(t.packs(), palette);
  for (std::uint8_t repeat = 0; repeat < 3; ++repeat) {
    memory_preset(t.packs(), colour_background, repeat);
  }
  border_preset(t.packs(), colour_border);
}

void draw_text(Timeline& t, std::uint8_t row, std::uint8_t col,
               std::string_view text, std::uint8_t colour0,
               std::uint8_t colour1, std::uint64_t gap) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    tile_block(t.packs(), TileDraw::Normal, colour0, colour1, row, u8(col + i),
               glyph(text[i]));
    pace(t, gap);
  }
}

void sing_line(Timeline& t, std::uint8_t row, std::string_view text,
               Melody& melody, std::uint64_t note_packs) {
  // XOR turns text pixels into sung ones and leaves the band alone; the
  // ball is XORed on and off the background row above.
  const std::uint8_t sing = colour_text ^ colour_sung;
  const std::uint8_t ball_colour = colour_background ^ colour_marker;
  const std::uint8_t ball_row = row - 1;
  const std::uint8_t first = centred_column(text);
  std::optional<std::uint8_t> ball_at;

  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') {
      t.rest(note_packs / 2);
      continue;
    }
    const std::uint8_t col = u8(first + i);
    const std::uint64_t start = t.now();
    t.play(note_packs * 5 / 6, melody.next_frequency(), melody_level);
    if (ball_at) xor_tile(t, ball_colour, ball_row, *ball_at, ball);
    xor_tile(t, ball_colour, ball_row, col, ball);
    ball_at = col;

    const TilePattern shape = glyph(text[i]);
    for (std::size_t s = 0; s < wipe_columns.size(); ++s) {
      TilePattern slice{};
      bool any = false;
      for (std::size_t y = 0; y < shape.size(); ++y) {
        slice[y] = shape[y] & wipe_columns[s];
        any = any || slice[y] != 0;
      }
      if (any) xor_tile(t, sing, row, col, slice);
      t.wait_until(start + (s + 1) * note_packs / wipe_columns.size());
    }
  }
  if (ball_at) xor_tile(t, ball_colour, ball_row, *ball_at, ball);
}

void scroll_left(Timeline& t, std::uint8_t fill, std::size_t tiles,
                 std::uint64_t gap) {
  for (std::size_t k = 0; k < tiles; ++k) {
    for (std::uint8_t fine = 1; fine <= 5; ++fine) {
      scroll_copy(t.packs(), {ScrollMove::Stay, fine, ScrollMove::Stay, 0});
      pace(t, gap);
    }
    scroll_preset(t.packs(), fill,
                  {ScrollMove::LeftOrUp, 0, ScrollMove::Stay, 0});
    pace(t, gap);
  }
}

void scroll_up(Timeline& t, std::uint8_t fill, std::size_t tiles,
               std::uint64_t gap) {
  for (std::size_t k = 0; k < tiles; ++k) {
    for (std::uint8_t fine = 2; fine <= 10; fine += 2) {
      scroll_copy(t.packs(), {ScrollMove::Stay, 0, ScrollMove::Stay, fine});
      pace(t, gap);
    }
    scroll_preset(t.packs(), fill,
                  {ScrollMove::Stay, 0, ScrollMove::LeftOrUp, 0});
    pace(t, gap);
  }
}

Timeline lyric_page(const Palette& palette,
                    std::span<const std::string_view> lines, Melody& melody,
                    const PageTiming& timing, PageExit exit) {
  // Each line takes a ball row and a text row, with a blank row between
  // lines; five lines fill the inside of the frame.
  if (lines.empty() || lines.size() > 5) {
    throw std::invalid_argument("a lyric page holds one to five lines");
  }
  const std::size_t used_rows = 3 * lines.size() - 1;
  const std::size_t inner_rows = inner_last_row - inner_first_row + 1;
  const std::uint8_t first_row =
      u8(inner_first_row + 1 + (inner_rows - used_rows) / 2);

  Timeline t;
  open_page(t, palette);
  const std::uint64_t drawing_start = t.now();
  draw_frame(t, timing.draw_gap);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::uint8_t row = u8(first_row + 3 * i);
    draw_band(t, row, colour_band, colour_band, solid_pattern, timing.draw_gap);
    draw_text(t, row, centred_column(lines[i]), lines[i], colour_band,
              colour_text, timing.text_gap);
  }
  // A low hum while the page builds up.
  t.add_note(Note{drawing_start, t.now() - drawing_start, key_frequency(48),
                  pad_level, -0.4, 3.0});
  t.rest(seconds(0.5));

  for (std::size_t i = 0; i < lines.size(); ++i) {
    sing_line(t, u8(first_row + 3 * i), lines[i], melody, timing.note_packs);
    t.rest(timing.note_packs);
  }
  t.rest(seconds(0.3));
  if (exit == PageExit::ScrollLeft) {
    scroll_left(t, colour_background, 4, 10);
  } else {
    scroll_up(t, colour_background, 3, 10);
  }
  return t;
}

Timeline title_screen(const Palette& palette,
                      std::span<const std::string_view> lines,
                      std::uint64_t length_packs) {
  Timeline t;
  open_page(t, palette);
  // A soft open chord under the whole title, each voice entering in turn.
  constexpr std::array<int, 4> chord = {48, 55, 60, 64};
  for (std::size_t v = 0; v < chord.size(); ++v) {
    const std::uint64_t enter = v * seconds(0.4);
    if (enter >= length_packs) break;
    t.add_note(Note{enter, length_packs - enter, key_frequency(chord[v]),
                    pad_level / 2, v % 2 == 0 ? -0.5 : 0.5, 6.0});
  }

  draw_frame(t, 2);
  constexpr std::uint8_t banner_row = 6;
  for (std::uint8_t r = banner_row; r < banner_row + 3; ++r) {
    draw_band(t, r, colour_banner, colour_banner_light, stripe_pattern, 1);
  }
  if (!lines.empty()) {
    draw_text(t, banner_row + 1, centred_column(lines[0]), lines[0],
              colour_banner, colour_title, 12);
  }
  for (std::size_t i = 1; i < lines.size() && i < 4; ++i) {
    const std::uint8_t row = u8(9 + 2 * i);
    draw_text(t, row, centred_column(lines[i]), lines[i], colour_background,
              colour_text, 6);
  }

  // Stars come and go in the corners while the title is held: a few packs
  // a second, the rest idle.
  constexpr std::array<std::array<std::uint8_t, 2>, 8> stars = {{{3, 6},
                                                                 {4, 40},
                                                                 {3, 24},
                                                                 {10, 12},
                                                                 {14, 44},
                                                                 {14, 6},
                                                                 {4, 15},
                                                                 {10, 37}}};
  const std::uint8_t star_colour = colour_background ^ colour_star;
  std::size_t tick = 0;
  while (t.now() + seconds(1.0) < length_packs) {
    const auto& on = stars[tick % stars.size()];
    xor_tile(t, star_colour, on[0], on[1], star);
    if (tick >= 2) {
      const auto& off = stars[(tick - 2) % stars.size()];
      xor_tile(t, star_colour, off[0], off[1], star);
    }
    ++tick;
    t.rest(seconds(0.75));
  }
  t.wait_until(length_packs);
  return t;
}

}  // namespace glyphreel::sample_disc
