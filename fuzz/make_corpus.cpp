// Writes the fuzzers' seed corpus, cut from the sample discs:
//   <dir>/toc/        table-of-contents inputs: dump lengths and a track
//                     range ahead of a real table of contents;
//   <dir>/pack_loop/  pack-loop inputs: the run byte ahead of fifty
//                     graphics packs from places in every track, the
//                     CD+EG one included;
//   <dir>/subchannel/ subchannel inputs: the header that fuzz_subchannel
//                     reads ahead of raw records in each form, carrying
//                     sample graphics packs with parity, a few symbols
//                     damaged;
//   <dir>/q_alignment/ the records' Q as fuzz_q_alignment reads it: steady,
//                     slipping, from the lead-in, across a gap in no file;
//   <dir>/zip/        zip inputs: the form byte 0 ahead of song zips that
//                     our writer makes of the sample's packs, in the
//                     classic form and with Zip64 records (7-Zip's seeds
//                     are in seeds/zip/).
// Usage: glyphreel_make_corpus <dir>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/zip_writer.hpp"
#include "base/subcode_pack.hpp"
#include "disc/toc.hpp"
#include "sample_disc/disc.hpp"
#include "subchannel/subchannel_encoder.hpp"

namespace {

namespace fs = std::filesystem;
using glyphreel::sample_disc::SampleDisc;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t packs_per_seed = 50;
constexpr std::uint8_t run_cdg = 0;
constexpr std::uint8_t run_cdeg = 1;

void write_file(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void append_be(Bytes& bytes, std::uint64_t value, std::size_t width) {
  for (std::size_t i = width; i-- > 0;) {
    bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

// The layout that fuzz_toc reads: both dump lengths in sectors, the track
// range, then the file.
Bytes toc_input(const SampleDisc& disc, std::int64_t sectors_short,
                std::uint64_t start_track, std::uint64_t end_track) {
  const auto sectors =
      static_cast<std::int64_t>(disc.cdg.size() / glyphreel::cdg_frame_size);
  Bytes input;
  append_be(input, static_cast<std::uint64_t>(sectors - sectors_short), 2);
  append_be(input, static_cast<std::uint64_t>(sectors), 2);
  append_be(input, start_track, 8);
  append_be(input, end_track, 8);
  input.insert(input.end(), disc.toc.begin(), disc.toc.end());
  return input;
}

bool is_graphics(const std::uint8_t* pack) {
  return pack[0] == glyphreel::mode_graphics ||
         pack[0] == glyphreel::mode_extended_graphics;
}

bool is_memory_control(const std::uint8_t* pack) {
  return pack[0] == glyphreel::mode_extended_graphics && pack[1] == 3;
}

// The discs are mostly idle packs, so each seed is up to packs_per_seed of a
// track's graphics packs in disc order, the idle ones between them left
// out, up to `seeds_per_track` seeds a track. In the CD+EG track a seed
// starts with the last memory control before it, so that it runs under the
// write and display modes it had on the disc.
void write_pack_seeds(const fs::path& dir, const std::string& disc_name,
                      const SampleDisc& disc, std::uint64_t extended_track,
                      std::size_t seeds_per_track) {
  const auto ranges = glyphreel::parse_toc(disc.toc);
  for (std::size_t t = 0; t < ranges.size(); ++t) {
    const bool extended = t + 1 == extended_track;
    const std::uint64_t end = ranges[t].end_lba * glyphreel::packs_per_sector;
    const std::uint8_t* memory_control = nullptr;
    std::uint64_t pack = ranges[t].start_lba * glyphreel::packs_per_sector;
    for (std::size_t seed = 0; seed < seeds_per_track && pack < end; ++seed) {
      Bytes input{extended ? run_cdeg : run_cdg};
      std::size_t taken = 0;
      if (memory_control != nullptr) {
        input.insert(input.end(), memory_control,
                     memory_control + glyphreel::pack_size);
        ++taken;
      }
      const std::uint64_t first = pack;
      const std::size_t prefix = taken;
      for (; taken < packs_per_seed && pack < end; ++pack) {
        const std::uint8_t* bytes =
            disc.cdg.data() + pack * glyphreel::pack_size;
        if (!is_graphics(bytes)) continue;
        if (extended && is_memory_control(bytes)) memory_control = bytes;
        input.insert(input.end(), bytes, bytes + glyphreel::pack_size);
        ++taken;
      }
      if (taken == prefix) break;
      write_file(dir / (disc_name + "-track" + std::to_string(t + 1) + "-pack" +
                        std::to_string(first)),
                 input);
    }
  }
}

// Thirty image sectors after two of lead-in context; three slots in four
// carry the sample's graphics packs, now with parity.
void write_subchannel_seeds(const fs::path& dir, const SampleDisc& disc) {
  constexpr std::size_t records = 32;
  std::vector<glyphreel::test::PackBytes> logical(records * 4);
  std::size_t pack = 0;
  for (std::size_t n = 0; n < logical.size(); ++n) {
    if (n % 4 == 3) continue;
    while (pack * glyphreel::pack_size < disc.cdg.size() &&
           !is_graphics(disc.cdg.data() + pack * glyphreel::pack_size)) {
      ++pack;
    }
    if (pack * glyphreel::pack_size >= disc.cdg.size()) break;
    std::copy_n(disc.cdg.begin() +
                    static_cast<std::ptrdiff_t>(pack++ * glyphreel::pack_size),
                glyphreel::pack_size, logical[n].begin());
    glyphreel::test::add_parity(logical[n]);
  }
  // One damaged symbol, two in one pack, a burst of four.
  const auto damage = [](Bytes& bytes) {
    for (std::size_t at : {100, 1000, 1001, 2000, 2001, 2002, 2003}) {
      bytes[at] ^= 0x15;
    }
  };
  Bytes raw(records * 96);
  glyphreel::test::interleave(raw, logical);
  damage(raw);
  const Bytes packed = glyphreel::test::pack_records(raw);
  Bytes cooked;
  for (const auto& p : logical) cooked.insert(cooked.end(), p.begin(), p.end());
  damage(cooked);
  // Header: form, records before the image, blank, two track boundaries.
  const auto seed = [&](const char* name, Bytes header, const Bytes& body) {
    header.insert(header.end(), body.begin(), body.end());
    write_file(dir / name, header);
  };
  seed("interleaved", {0, 2, 0, 3, 17}, raw);
  seed("packed", {1, 2, 1, 3, 17}, packed);
  seed("cooked", {2, 0, 0, 5, 20}, cooked);
}

// fuzz_q_alignment's header, then for each of `runs` (count, kind, offset)
// that many records.
void write_q_seed(const fs::path& path, Bytes header,
                  std::initializer_list<std::array<int, 3>> runs) {
  for (const auto& [count, kind, offset] : runs) {
    for (int r = 0; r < count; ++r) {
      header.push_back(static_cast<std::uint8_t>(kind + 4 * (r % 8)));
      header.push_back(static_cast<std::uint8_t>(offset));
    }
  }
  write_file(path, header);
}

// Kinds: 0 a position, 1 a bad CRC, 2 no Q, 3 the lead-in.
void write_q_alignment_seeds(const fs::path& dir) {
  write_q_seed(dir / "steady", {0, 128, 0, 128},
               {{20, 0, -3}, {1, 1, -3}, {19, 0, -3}, {2, 2, 0}});
  write_q_seed(dir / "slip-repeat", {1, 128, 0, 128},
               {{40, 0, 0}, {30, 0, -3}});
  write_q_seed(dir / "slip-drop", {0, 128, 0, 130},
               {{40, 0, 0}, {1, 1, 0}, {30, 0, 2}, {6, 0, 0}});
  write_q_seed(dir / "lead-in", {0, 28, 0, 100}, {{30, 3, 0}, {60, 0, -20}});
  write_q_seed(dir / "gap", {1, 125, 0x35, 128}, {{50, 0, 0}});
}

// A song zip of the sample's first packs (Deflate) and a few bytes of
// stand-in audio (stored), both as zip_archive() writes it and with every
// size and offset in Zip64 fields.
void write_zip_seeds(const fs::path& dir, const SampleDisc& disc) {
  const Bytes audio = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
  const glyphreel::ZipMember members[] = {
      {"01 - Sample/01 - Sample.cdg",
       std::span(disc.cdg).first(std::min<std::size_t>(disc.cdg.size(), 9600)),
       true},
      {"01 - Sample/01 - Sample.mp3", audio, false}};
  for (const std::uint64_t zip64_from :
       {std::uint64_t{0xFFFFFFFF}, std::uint64_t{0}}) {
    Bytes input{0};
    const Bytes zip =
        glyphreel::zip_archive_zip64_from(members, 0x58B1645C, zip64_from);
    input.insert(input.end(), zip.begin(), zip.end());
    write_file(dir / (zip64_from == 0 ? "song-zip64" : "song"), input);
  }
}

void write_corpus(const fs::path& root) {
  const fs::path toc_dir = root / "toc";
  const fs::path pack_dir = root / "pack_loop";
  const fs::path subchannel_dir = root / "subchannel";
  const fs::path q_dir = root / "q_alignment";
  fs::create_directories(q_dir);
  fs::create_directories(toc_dir);
  fs::create_directories(pack_dir);
  fs::create_directories(subchannel_dir);
  fs::create_directories(root / "zip");

  // Tracks 1 and 2 carry CD+G, track 3 CD+EG.
  const SampleDisc sample = glyphreel::sample_disc::make_sample_disc();
  // Three tracks of CD+G, short enough for 16-bit sector counts.
  const SampleDisc long_disc = glyphreel::sample_disc::make_long_disc(400);

  write_file(toc_dir / "sample-1-3", toc_input(sample, 0, 1, 3));
  write_file(toc_dir / "sample-2-2", toc_input(sample, 0, 2, 2));
  write_file(toc_dir / "sample-3-2", toc_input(sample, 0, 3, 2));
  write_file(toc_dir / "sample-image-short", toc_input(sample, 1, 1, 1));
  write_file(toc_dir / "long-1-3", toc_input(long_disc, 0, 1, 3));
  write_file(toc_dir / "long-3-1", toc_input(long_disc, 0, 3, 1));

  // All of the sample disc's graphics; a little of the long disc, whose
  // lyric pages repeat one another.
  write_pack_seeds(pack_dir, "sample", sample, 3, 16);
  write_pack_seeds(pack_dir, "long", long_disc, 0, 2);
  write_subchannel_seeds(subchannel_dir, sample);
  write_q_alignment_seeds(q_dir);
  write_zip_seeds(root / "zip", sample);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: glyphreel_make_corpus <dir>\n");
    return 2;
  }
  try {
    write_corpus(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "glyphreel_make_corpus: %s\n", error.what());
    return 1;
  }
  return 0;
}
