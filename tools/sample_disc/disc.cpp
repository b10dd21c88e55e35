#include "sample_disc/disc.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "sample_disc/audio.hpp"
#include "sample_disc/extended_track.hpp"
#include "sample_disc/scenes.hpp"
#include "sample_disc/timeline.hpp"
#include "sample_disc/toc.hpp"

namespace glyphreel::sample_disc {
namespace {

// Colours by role: background, border, frame, frame light, band, text, sung
// text, ball, banner, banner light, title, star.
constexpr Palette title_palette = {{{0, 0, 2},
                                    {0, 0, 1},
                                    {9, 5, 0},
                                    {15, 12, 3},
                                    {1, 1, 6},
                                    {12, 12, 15},
                                    {15, 13, 0},
                                    {15, 5, 0},
                                    {8, 0, 4},
                                    {14, 4, 6},
                                    {15, 15, 15},
                                    {15, 15, 10}}};
constexpr Palette night_palette = {{{0, 0, 4},
                                    {0, 0, 2},
                                    {3, 3, 10},
                                    {8, 8, 15},
                                    {1, 1, 7},
                                    {15, 15, 15},
                                    {15, 13, 0},
                                    {15, 5, 0}}};
constexpr Palette forest_palette = {{{0, 4, 1},
                                     {0, 2, 0},
                                     {2, 9, 3},
                                     {8, 15, 6},
                                     {0, 6, 2},
                                     {15, 15, 12},
                                     {15, 6, 12},
                                     {15, 15, 0}}};
constexpr Palette wine_palette = {{{4, 0, 2},
                                   {2, 0, 1},
                                   {10, 3, 4},
                                   {15, 9, 6},
                                   {6, 1, 3},
                                   {15, 15, 15},
                                   {4, 13, 15},
                                   {15, 15, 4}}};

constexpr std::array<std::string_view, 3> title_lines = {
    "GLYPHREEL", "SUBCODE GRAPHICS", "SAMPLE DISC"};
constexpr std::array<std::string_view, 2> first_page = {"SING THE LIGHT",
                                                        "ACROSS THE SCREEN"};
constexpr std::array<std::string_view, 3> second_page = {
    "PACK BY PACK", "TILE BY TILE", "WE SING ALONG"};

using Page = std::array<std::string_view, 3>;
constexpr std::array<Page, 6> long_pages = {{
    {"SEVENTY-FIVE SECTORS", "EVERY SECOND TURNING", "UNDER THE LASER"},
    {"FOUR PACKS TO A SECTOR", "SIX BY TWELVE", "PIXELS IN A TILE"},
    {"SIXTEEN COLOURS", "LOADED EIGHT AT A TIME", "BORDERS IN BLUE"},
    {"SCROLL TO THE LEFT", "SCROLL UP AND AWAY", "FILL THE EDGE AGAIN"},
    {"XOR THE WORDS", "AND WATCH THEM GLOW", "ONE NOTE AT A TIME"},
    {"WHEN THE SONG IS OVER", "CLEAR THE SCREEN", "AND START AGAIN!"},
}};

constexpr std::array<const Palette*, 3> page_palettes = {
    &night_palette, &forest_palette, &wine_palette};

// Appends the long disc's pages from `page` on while a whole page still
// fits before pack `end`, the rest being left to hold the last picture.
// Returns the page that did not fit.
std::size_t append_pages(Timeline& t, std::size_t page, Melody& melody,
                         const PageTiming& timing, std::uint64_t end) {
  for (;; ++page) {
    const Timeline next =
        lyric_page(*page_palettes[page % page_palettes.size()],
                   long_pages[page % long_pages.size()], melody, timing,
                   page % 2 == 0 ? PageExit::ScrollLeft : PageExit::ScrollUp);
    if (t.now() + next.now() > end) return page;
    t.append(next);
  }
}

// Places tracks on whole sectors and turns the timeline into the three
// dumps.
class DiscAssembler {
 public:
  Timeline& timeline() { return timeline_; }

  void start_track() {
    timeline_.finish_sector();
    track_starts_.push_back(
        static_cast<std::uint32_t>(timeline_.now() / packs_per_sector));
  }

  std::uint64_t track_start_pack() const {
    return std::uint64_t{track_starts_.back()} * packs_per_sector;
  }

  SampleDisc finish() {
    timeline_.finish_sector();
    return finish_packs_and_audio(build_toc(
        track_starts_,
        static_cast<std::uint32_t>(timeline_.now() / packs_per_sector)));
  }

  // The dumps, with `toc` as the table of contents.
  SampleDisc finish_packs_and_audio(std::vector<std::uint8_t> toc) {
    timeline_.finish_sector();
    const std::uint64_t sectors = timeline_.now() / packs_per_sector;
    SampleDisc disc;
    disc.cdg = timeline_.packs();
    disc.img.assign(sectors * audio_bytes_per_sector, 0);
    render_notes(timeline_.notes(), disc.img);
    disc.toc = std::move(toc);
    return disc;
  }

 private:
  Timeline timeline_;
  std::vector<std::uint32_t> track_starts_;
};

}  // namespace

SampleDisc make_sample_disc() {
  DiscAssembler disc;
  Melody melody;
  const PageTiming timing;

  disc.start_track();
  disc.timeline().append(
      title_screen(title_palette, title_lines, seconds(4.5)));
  disc.timeline().append(lyric_page(night_palette, first_page, melody, timing,
                                    PageExit::ScrollLeft));
  disc.timeline().wait_until(disc.track_start_pack() + seconds(12));

  disc.start_track();
  disc.timeline().append(lyric_page(forest_palette, second_page, melody, timing,
                                    PageExit::ScrollUp));
  disc.timeline().wait_until(disc.track_start_pack() + seconds(8));

  disc.start_track();
  disc.timeline().append(extended_graphics_track(melody));
  disc.timeline().wait_until(disc.track_start_pack() + seconds(8));
  return disc.finish();
}

SampleDisc make_long_disc(double length_seconds) {
  if (!(length_seconds >= 1.0)) {
    throw std::invalid_argument("a long disc lasts at least one second");
  }
  const std::uint64_t total = seconds(length_seconds);
  const auto track_count = std::max<std::uint64_t>(
      2, static_cast<std::uint64_t>(std::ceil(length_seconds / 180.0)));
  const std::uint64_t title_length =
      std::clamp(total / 10, seconds(3), seconds(180));

  DiscAssembler disc;
  Timeline& t = disc.timeline();
  Melody melody;
  const PageTiming timing;
  std::size_t page = 0;

  for (std::uint64_t k = 0; k < track_count; ++k) {
    disc.start_track();
    const std::uint64_t track_end = total * (k + 1) / track_count;
    if (k == 0) {
      t.append(title_screen(title_palette, title_lines, title_length));
    } else {
      const std::string card = "TRACK " + std::to_string(k + 1);
      const std::array<std::string_view, 2> lines = {card, "SING ALONG"};
      t.append(title_screen(*page_palettes[k % page_palettes.size()], lines,
                            seconds(3)));
    }
    page = append_pages(t, page, melody, timing, track_end);
    t.wait_until(track_end);
  }
  return disc.finish();
}

SampleDisc make_song(double length_seconds, unsigned number) {
  if (!(length_seconds >= 1.0)) {
    throw std::invalid_argument("a song lasts at least one second");
  }
  const std::uint64_t total = seconds(length_seconds);
  DiscAssembler disc;
  Timeline& t = disc.timeline();
  Melody melody;
  const PageTiming timing;

  disc.start_track();
  const std::string title = "SONG " + std::to_string(number);
  const std::array<std::string_view, 3> lines = {title, "GLYPHREEL",
                                                 "SING ALONG"};
  t.append(title_screen(title_palette, lines, std::min(total, seconds(8))));
  // The long disc's pages, each song starting at its own.
  append_pages(t, number, melody, timing, total);
  t.wait_until(total);
  return disc.finish_packs_and_audio({});
}

}  // namespace glyphreel::sample_disc
