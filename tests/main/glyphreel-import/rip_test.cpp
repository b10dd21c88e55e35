// cdrdao rips of 2448-byte blocks imported whole, against the writing side
// of the subchannel: big-endian audio and audio the TOC file says is
// swapped, raw (RW_RAW) and cooked (RW) subchannel, and a pregap in no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "disc/toc.hpp"
#include "main/glyphreel-import/run.hpp"
#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Disc sectors 0-19 are track 1; 20-24 a pregap in no file; 25-59 track 2.
constexpr std::size_t sectors = 60;
constexpr std::size_t gap_first = 20;
constexpr std::size_t gap_end = 25;
constexpr std::size_t slots = sectors * 4;

Bytes read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The disc as a drive would deliver it: graphics packs with parity, idle
// where a logical pack's symbols (raw slots n .. n + 7) or the pack itself
// (cooked slot n + 8) would lie in the gap's sectors, which no record
// carries.
struct Disc {
  Bytes audio;   // little-endian samples, zero in the gap
  Bytes cooked;  // what the import must write
  Bytes raw;     // interleaved records of every sector
};

Disc make_disc(std::mt19937& random) {
  Disc disc;
  disc.audio.resize(sectors * 2352);
  for (std::size_t i = 0; i < disc.audio.size(); ++i) {
    const std::size_t sector = i / 2352;
    if (sector < gap_first || sector >= gap_end) {
      disc.audio[i] = static_cast<std::uint8_t>(random());
    }
  }
  std::vector<test::PackBytes> logical(slots - 8);
  for (std::size_t n = 0; n < logical.size(); ++n) {
    if ((n + 8) / 4 >= gap_first && n / 4 < gap_end) continue;
    logical[n][0] = 0x09;
    logical[n][1] = 0x06;
    for (std::size_t c = 4; c < 20; ++c) {
      logical[n][c] = static_cast<std::uint8_t>(random() & 0x3F);
    }
    test::add_parity(logical[n]);
  }
  disc.raw.resize(sectors * 96);
  test::interleave(disc.raw, logical);
  // Drives deliver the logical pack of raw slot n at cooked slot n + 8.
  disc.cooked.resize(sectors * 96);
  for (std::size_t n = 0; n < logical.size(); ++n) {
    std::copy(logical[n].begin(), logical[n].end(),
              disc.cooked.begin() + static_cast<std::ptrdiff_t>((n + 8) * 24));
  }
  return disc;
}

TEST(CdrdaoRip, ImportsBlocksOfAudioAndSubchannel) {
  std::mt19937 random(7);
  const Disc disc = make_disc(random);
  const fs::path folder =
      fs::temp_directory_path() /
      ("glyphreel-rip-test-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);

  struct Case {
    const char* mode;  // the sub-channel mode
    const char* swap;  // "" or " SWAP"
    bool cooked;       // RW: each block holds its sector's cooked packs
  };
  for (const Case& c : {Case{"RW_RAW", "", false},
                        Case{"RW_RAW", " SWAP", false}, Case{"RW", "", true}}) {
    SCOPED_TRACE(std::string(c.mode) + c.swap);
    // The file holds the sectors of both tracks, not the gap.
    Bytes blocks;
    for (std::size_t s = 0; s < sectors; ++s) {
      if (s >= gap_first && s < gap_end) continue;
      Bytes audio(
          disc.audio.begin() + static_cast<std::ptrdiff_t>(s * 2352),
          disc.audio.begin() + static_cast<std::ptrdiff_t>((s + 1) * 2352));
      if (*c.swap == '\0') {
        for (std::size_t i = 0; i < audio.size(); i += 2) {
          std::swap(audio[i], audio[i + 1]);
        }
      }
      const Bytes& sub = c.cooked ? disc.cooked : disc.raw;
      blocks.insert(blocks.end(), audio.begin(), audio.end());
      blocks.insert(blocks.end(),
                    sub.begin() + static_cast<std::ptrdiff_t>(s * 96),
                    sub.begin() + static_cast<std::ptrdiff_t>((s + 1) * 96));
    }
    write_file(folder / "rip.bin", blocks);
    const std::string toc =
        std::string("CD_DA\nTRACK AUDIO ") + c.mode + "\nFILE \"rip.bin\"" +
        c.swap + " 0 00:00:20\nTRACK AUDIO " + c.mode +
        "\nPREGAP 00:00:05\nFILE \"rip.bin\"" + c.swap + " 00:00:20 0\n";
    std::ofstream(folder / "rip.toc") << toc;
    const fs::path out = folder / (std::string("out ") + c.mode + c.swap);

    const std::vector<NativeString> argv = {"glyphreel-import", "cdrdao",
                                            (folder / "rip.toc").string(),
                                            out.string(), "--json"};
    ASSERT_EQ(run_import(argv), 0);
    EXPECT_EQ(read_file(out / "disc.img"), disc.audio);
    EXPECT_EQ(read_file(out / "disc.cdg"), disc.cooked);
    const Bytes toc_dump = read_file(out / "disc.toc");
    EXPECT_EQ(parse_toc(toc_dump),
              (std::vector<TrackLbaRange>{{0, gap_end}, {gap_end, sectors}}));
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace glyphreel
