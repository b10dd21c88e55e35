#include "library/disc_songs.hpp"

#include "base/subcode_pack.hpp"
#include "base/text.hpp"
#include "import/text_lines.hpp"
#include "platform/text.hpp"

namespace glyphreel {

namespace {

// The mode and item of a pack's first symbol, without the two bits above
// them that no symbol has.
constexpr std::uint8_t symbol_mask = 0x3F;

// What Windows refuses in a file name besides the control characters.
constexpr std::string_view forbidden_characters = "<>:\"/\\|?*";

constexpr std::string_view blanks = " \t";

bool is_control(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

void append_code_point(std::string& out, char32_t c, std::string_view bytes) {
  if (is_control(c) || (c < 0x80 && forbidden_characters.find(static_cast<char>(
                                        c)) != std::string_view::npos)) {
    out += '_';
  } else {
    out += bytes;
  }
}

// The text with every byte read as ISO 8859-1, in UTF-8.
std::string from_latin1(std::string_view text) {
  std::string out;
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80) {
      out += byte;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// The longest start of a UTF-8 text within `limit` bytes that ends on a
// character's boundary.
std::string_view cut_utf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return text.substr(0, end);
}

}  // namespace

std::uint64_t graphics_pack_count(std::span<const std::uint8_t> subcode) {
  std::uint64_t count = 0;
  for (std::size_t at = 0; at + pack_size <= subcode.size(); at += pack_size) {
    const std::uint8_t mode = subcode[at] & symbol_mask;
    if (mode == mode_graphics || mode == mode_extended_graphics) ++count;
  }
  return count;
}

DiscNames disc_names(const CueSheet& sheet) {
  DiscNames names;
  names.disc = {sheet.title, sheet.performer};
  for (const CueTrack& track : sheet.tracks) {
    names.tracks.push_back({track.title, track.performer});
  }
  return names;
}

DiscNames disc_names(const CdrdaoToc& toc) {
  DiscNames names;
  names.disc = toc.text;
  for (const CdrdaoTrack& track : toc.tracks)
    names.tracks.push_back(track.text);
  return names;
}

std::string name_text(std::string_view text) {
  std::string utf8;
  if (!platform::is_valid_utf8(text)) {
    utf8 = from_latin1(text);
    text = utf8;
  }
  text = trimmed(text);
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    const char32_t c = *next_utf8_code_point(text, i);
    append_code_point(out, c, text.substr(start, i - start));
  }
  return out;
}

std::string song_name(std::uint64_t number, const DiscNames& names) {
  const CdText track =
      number - 1 < names.tracks.size() ? names.tracks[number - 1] : CdText{};
  const std::string title = name_text(track.title);
  std::string artist = name_text(track.performer);
  if (artist.empty()) artist = name_text(names.disc.performer);
  std::string song;
  if (title.empty()) {
    song = "Track " + two_digits(number);
  } else if (artist.empty()) {
    song = two_digits(number) + " - " + title;
  } else {
    song = two_digits(number) + " - " + artist + " - " + title;
  }
  return std::string(trimmed(cut_utf8(song, longest_song_name)));
}

std::vector<std::string> song_outputs(std::string_view name, SongAudio audio,
                                      bool folders) {
  const std::string stem(name);
  if (!folders) return {stem + ".zip"};
  return {stem + ".cdg", stem + "." + std::string(audio_word(audio))};
}

std::vector<std::string> song_scratch_files(std::string_view name,
                                            SongAudio audio, bool folders) {
  const std::string stem(name);
  std::vector<std::string> files = song_outputs(name, audio, folders);
  if (!folders) files.push_back(stem + "." + std::string(audio_word(audio)));
  files.push_back(stem + ".log");
  return files;
}

std::optional<TrackRange> parse_track_range(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  const auto first = parse_digits(text.substr(0, dash), 2);
  const auto last = parse_digits(text.substr(dash + 1), 2);
  if (!first || !last || *first == 0 || *first > *last) return std::nullopt;
  return TrackRange{*first, *last};
}

std::string track_line(const TrackOutcome& outcome) {
  // Hundredths of a second: 4 in every 3 sectors, rounded.
  const std::uint64_t hundredths = (outcome.sectors * 4 + 1) / 3;
  const std::string cents = two_digits(hundredths % 100);
  std::string status;
  switch (outcome.status) {
    case TrackStatus::Written:
      status = "written";
      break;
    case TrackStatus::Skipped:
      status = "skipped: " + outcome.reason;
      break;
    case TrackStatus::Failed:
      status = "failed: " + outcome.reason;
      break;
  }
  return two_digits(outcome.number) + "\t" + outcome.name + "\t" +
         std::to_string(hundredths / 100) + "." + cents + " s\t" +
         std::to_string(outcome.graphics_packs) + " graphics packs\t" + status +
         "\n";
}

std::string songs_summary(std::span<const TrackOutcome> outcomes) {
  std::uint64_t counts[3] = {0, 0, 0};
  for (const TrackOutcome& outcome : outcomes) {
    ++counts[static_cast<std::size_t>(outcome.status)];
  }
  return std::to_string(counts[0]) + " written, " + std::to_string(counts[1]) +
         " skipped, " + std::to_string(counts[2]) + " failed";
}

}  // namespace glyphreel
