// glyphreel_sample_disc <folder> [--long SECONDS | --songs COUNT SECONDS]
//
// Writes disc.img, disc.cdg and disc.toc of a synthesised disc into the
// folder, creating it if needed, and prints one line per track. With
// --songs, writes COUNT song files instead, song-001.cdg beside
// song-001.wav and so on, each about SECONDS long, and prints one line per
// song. Exit status 0 on success, 2 on a wrong command line, 1 when a file
// cannot be written.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sample_disc/disc.hpp"

namespace {

namespace fs = std::filesystem;
using glyphreel::sample_disc::SampleDisc;

constexpr std::string_view usage =
    "usage: glyphreel_sample_disc <folder> [--long SECONDS | --songs COUNT "
    "SECONDS]\n";

struct Options {
  fs::path folder;
  std::optional<double> seconds;  // of the long disc, or of each song
  unsigned songs = 0;             // song files instead of a disc when not 0
};

std::optional<double> parse_seconds(std::string_view text) {
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() ||
      !(value >= 1.0)) {
    return std::nullopt;
  }
  return value;
}

std::optional<unsigned> parse_count(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 ||
      value > 999) {
    return std::nullopt;
  }
  return value;
}

std::optional<Options> parse_options(int argc, char** argv) {
  if (argc == 2) return Options{argv[1], std::nullopt};
  if (argc == 4 && std::string_view(argv[2]) == "--long") {
    if (auto s = parse_seconds(argv[3])) return Options{argv[1], *s};
  }
  if (argc == 5 && std::string_view(argv[2]) == "--songs") {
    const auto count = parse_count(argv[3]);
    const auto s = parse_seconds(argv[4]);
    if (count && s) return Options{argv[1], *s, *count};
  }
  return std::nullopt;
}

void write_file(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::uint32_t big_endian_32(const std::vector<std::uint8_t>& b,
                            std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | std::uint32_t{b[at + 3]};
}

// One line per track from the table of contents, then the whole disc.
void report(const SampleDisc& disc) {
  const std::size_t tracks = (disc.toc.size() - 4) / 8 - 1;
  for (std::size_t k = 0; k < tracks; ++k) {
    const std::uint32_t start = big_endian_32(disc.toc, 4 + 8 * k + 4);
    const std::uint32_t end = big_endian_32(disc.toc, 4 + 8 * (k + 1) + 4);
    std::size_t active = 0;
    for (std::size_t p = std::size_t{start} * 4; p < std::size_t{end} * 4;
         ++p) {
      if (disc.cdg[p * 24] != 0) ++active;
    }
    std::printf(
        "track %zu: sectors %u-%u (%u sectors, %.2f s), %u packs, %zu active\n",
        k + 1, start, end - 1, end - start, (end - start) / 75.0,
        (end - start) * 4, active);
  }
  std::printf(
      "disc: %zu sectors, img %zu bytes, cdg %zu bytes, toc %zu bytes\n",
      disc.cdg.size() / 96, disc.img.size(), disc.cdg.size(), disc.toc.size());
}

void put_le(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

// A WAV file of 16-bit stereo at 44100 Hz around the raw samples.
std::vector<std::uint8_t> wav_file(const std::vector<std::uint8_t>& samples) {
  std::vector<std::uint8_t> out;
  const auto text = [&](std::string_view tag) {
    out.insert(out.end(), tag.begin(), tag.end());
  };
  const auto size = static_cast<std::uint32_t>(samples.size());
  text("RIFF");
  put_le(out, 36 + size, 4);
  text("WAVEfmt ");
  put_le(out, 16, 4);         // format chunk size
  put_le(out, 1, 2);          // PCM
  put_le(out, 2, 2);          // channels
  put_le(out, 44100, 4);      // sample pairs a second
  put_le(out, 44100 * 4, 4);  // bytes a second
  put_le(out, 4, 2);          // bytes a sample pair
  put_le(out, 16, 2);         // bits a sample
  text("data");
  put_le(out, size, 4);
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

void write_songs(const Options& options) {
  for (unsigned number = 1; number <= options.songs; ++number) {
    const SampleDisc song =
        glyphreel::sample_disc::make_song(*options.seconds, number);
    char name[16];
    std::snprintf(name, sizeof name, "song-%03u", number);
    write_file(options.folder / (std::string(name) + ".cdg"), song.cdg);
    write_file(options.folder / (std::string(name) + ".wav"),
               wav_file(song.img));
    std::printf("%s: %.2f s\n", name,
                static_cast<double>(song.cdg.size()) / 96 / 75);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parse_options(argc, argv);
  if (!options) {
    std::cerr << usage;
    return 2;
  }
  try {
    if (options->songs != 0) {
      fs::create_directories(options->folder);
      write_songs(*options);
      return 0;
    }
    const SampleDisc disc =
        options->seconds
            ? glyphreel::sample_disc::make_long_disc(*options->seconds)
            : glyphreel::sample_disc::make_sample_disc();
    fs::create_directories(options->folder);
    write_file(options->folder / "disc.img", disc.img);
    write_file(options->folder / "disc.cdg", disc.cdg);
    write_file(options->folder / "disc.toc", disc.toc);
    report(disc);
  } catch (const std::exception& e) {
    std::cerr << "glyphreel_sample_disc: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
