// Fuzzes de-interleaving and parity correction over arbitrary raw
// subchannel bytes.
//
// Input: a five-byte header, then raw records of 96 bytes (a short tail is
// left out). Header byte 0 chooses the form (mod 3: interleaved, packed,
// cooked), byte 1 how many records lie before image sector 0 (mod 8, at
// most all of them), byte 2's lowest bit blanks uncorrectable packs, bytes 3
// and 4 split the image into a gap and two tracks. Checked: the cooked
// packs against the alignment rule symbol by symbol, and every pack's
// outcome and tally against what check_pack says of it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <span>
#include <vector>

#include "finding.hpp"
#include "subchannel/damage.hpp"
#include "subchannel/deinterleave.hpp"
#include "subchannel/parity.hpp"
#include "subchannel/subchannel_encoder.hpp"

namespace glyphreel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Pack = std::array<std::uint8_t, pack_symbols>;

constexpr std::size_t header_size = 5;
constexpr std::size_t record = subchannel_record_size;

using fuzzing::finding;
using fuzzing::require;

Pack pack_at(const Bytes& bytes, std::size_t index) {
  Pack pack;
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(index * 24), 24,
              pack.begin());
  return pack;
}

// The cooked slot m holds the logical pack of raw slot m - 8, symbol c at
// raw position (n + (s(c) & 7)) * 24 + s(c), counted here in records.
void check_alignment(const Bytes& interleaved, std::uint64_t before,
                     const Bytes& cooked) {
  for (std::size_t m = 0; m < cooked.size() / 24; ++m) {
    const std::int64_t n =
        static_cast<std::int64_t>(m + 4 * before) - 8;  // in the records
    for (std::size_t c = 0; c < 24; ++c) {
      const std::uint8_t got = cooked[m * 24 + c];
      if (n < 0) {
        require(got == 0, "pack before the first record is not idle");
        continue;
      }
      const std::size_t column = test::raw_column(c);
      const std::size_t at =
          (static_cast<std::size_t>(n) + (column & 7)) * 24 + column;
      require(got == (interleaved[at] & 0x3F), "symbol from the wrong place");
    }
  }
}

void check_tally(const ParityTally& t) {
  require(t.valid + t.corrected + t.without_parity + t.uncorrectable == t.packs,
          "tally does not add up to its packs");
  require(t.graphics_packs <= t.packs, "more graphics packs than packs");
  require(t.symbols_corrected <= 2 * t.corrected,
          "more than two symbols corrected a pack");
}

void fuzz_one(std::span<const std::uint8_t> input) {
  if (input.size() < header_size) return;
  const auto form = static_cast<SubchannelForm>(input[0] % 3);
  const auto records = input.subspan(header_size);
  const std::uint64_t count = records.size() / record;
  const std::uint64_t before = std::min<std::uint64_t>(input[1] % 8, count);
  const std::uint64_t sectors = count - before;
  const bool blank = (input[2] & 1) != 0;
  const std::uint64_t a = input[3] % (sectors + 1);
  const std::uint64_t b = input[4] % (sectors + 1);
  const std::vector<TrackLbaRange> tracks = {{std::min(a, b), std::max(a, b)},
                                             {std::max(a, b), sectors}};

  const auto first_lba = -static_cast<std::int64_t>(before);
  const Bytes cooked = cook_subchannel(records, form, first_lba, sectors);
  require(cooked.size() == sectors * record, "cooked dump of the wrong size");
  if (form == SubchannelForm::Cooked) {
    require(std::equal(
                cooked.begin(), cooked.end(),
                records.begin() + static_cast<std::ptrdiff_t>(before * record)),
            "cooked records not copied");
  } else {
    Bytes interleaved(
        records.begin(),
        records.begin() + static_cast<std::ptrdiff_t>(count * record));
    if (form == SubchannelForm::Packed) {
      for (std::size_t at = 0; at < interleaved.size(); at += record) {
        const std::span<const std::uint8_t, record> packed(records.data() + at,
                                                           record);
        unpack_sector(packed, std::span<std::uint8_t, record>(
                                  interleaved.data() + at, record));
      }
    }
    check_alignment(interleaved, before, cooked);
  }

  Bytes corrected = cooked;
  const DamageReport report = correct_packs(
      corrected, tracks,
      blank ? UncorrectablePacks::Blank : UncorrectablePacks::Keep);
  const std::uint64_t packs = cooked.size() / 24;
  require(report.totals.packs == packs, "totals miss packs");
  check_tally(report.totals);
  require(report.tracks.size() == tracks.size(), "one report per track");
  std::uint64_t in_tracks = 0;
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    const TrackDamage& track = report.tracks[t];
    check_tally(track.tally);
    require(track.tally.packs == 4 * (tracks[t].end_lba - tracks[t].start_lba),
            "track counts the wrong packs");
    in_tracks += track.tally.packs;
    require(track.damaged_sectors.size() <= max_damaged_places,
            "too many damaged places");
    for (std::size_t i = 0; i < track.damaged_sectors.size(); ++i) {
      require(
          track.damaged_sectors[i] < tracks[t].end_lba - tracks[t].start_lba,
          "damaged place outside its track");
      require(i == 0 || track.damaged_sectors[i - 1] < track.damaged_sectors[i],
              "damaged places out of order");
    }
  }
  require(in_tracks <= packs, "tracks count more packs than the dump has");

  ParityTally expected;
  std::uint64_t high_bits = 0;
  for (std::size_t p = 0; p < packs; ++p) {
    Pack checked = pack_at(cooked, p);
    // The dumps hold six-bit symbols: any P/Q bits are cleared before the
    // parity looks at the pack.
    for (std::uint8_t& byte : checked) {
      high_bits += (byte & 0xC0) != 0;
      byte &= 0x3F;
    }
    const Pack read = checked;
    const Pack written = pack_at(corrected, p);
    const PackCheck check = check_pack(checked);
    ++expected.packs;
    const std::uint8_t mode = checked[0] & 0x3F;
    if (mode == 9 || mode == 10) ++expected.graphics_packs;
    switch (check.status) {
      case PackStatus::Valid:
      case PackStatus::WithoutParity:
        require(written == read, "intact or parity-less pack changed");
        break;
      case PackStatus::Corrected: {
        require(written == checked, "correction differs from check_pack's");
        std::size_t changed = 0;
        for (std::size_t i = 0; i < 24; ++i) changed += written[i] != read[i];
        require(static_cast<int>(changed) == check.symbols_corrected,
                "corrected count is not the symbols changed");
        Pack again = written;
        require(check_pack(again) == PackCheck{}, "corrected pack not valid");
        expected.corrected++;
        expected.symbols_corrected +=
            static_cast<std::uint64_t>(check.symbols_corrected);
        break;
      }
      case PackStatus::Uncorrectable:
        require(written == (blank ? Pack{} : read),
                "uncorrectable pack neither kept nor blanked");
        expected.uncorrectable++;
        break;
    }
    if (check.status == PackStatus::Valid) expected.valid++;
    if (check.status == PackStatus::WithoutParity) expected.without_parity++;
  }
  require(report.totals == expected, "totals differ from the packs' checks");
  require(report.high_bits_cleared == high_bits,
          "bytes with high bits not counted");
}

}  // namespace
}  // namespace glyphreel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case(
      [&] { glyphreel::fuzz_one(std::span<const std::uint8_t>(data, size)); });
}
