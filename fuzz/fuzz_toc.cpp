// Fuzzes the table-of-contents parser and the checks and spans built on it.
//
// Input: the image length in sectors (2 bytes), the subcode dump length in
// sectors (2 bytes), start_track and end_track (8 bytes each), all
// big-endian, then the table-of-contents file itself. A fatal stop is an
// expected outcome; every result and every stop is compared with what the
// table of contents says, so a wrong answer is a finding as much as a crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/fatal_error.hpp"
#include "disc/spans.hpp"
#include "disc/toc.hpp"
#include "finding.hpp"

namespace {

using glyphreel::FatalError;
using glyphreel::TrackLbaRange;
using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t header_size = 2 + 2 + 8 + 8;
constexpr std::uint64_t max_frames = 0xFFFF;

using fuzzing::finding;
using fuzzing::require;

std::uint64_t read_be(Bytes bytes, std::size_t offset, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i)
    value = value << 8 | bytes[offset + i];
  return value;
}

// What a correct parser makes of the file, derived from the layout alone:
// a 4-byte header whose length field counts the bytes after it, at least
// one 8-byte descriptor, tracks 1, 2, ... in order and the lead-out last.
std::optional<std::vector<TrackLbaRange>> expected_ranges(Bytes toc) {
  if (toc.size() < 12 || read_be(toc, 0, 2) + 2 != toc.size() ||
      (toc.size() - 4) % 8 != 0) {
    return std::nullopt;
  }
  const std::size_t descriptors = (toc.size() - 4) / 8;
  const auto number = [&](std::size_t k) { return toc[4 + 8 * k + 2]; };
  const auto lba = [&](std::size_t k) {
    return read_be(toc, 4 + 8 * k + 4, 4);
  };
  if (number(descriptors - 1) != 0xAA) return std::nullopt;
  std::vector<TrackLbaRange> ranges;
  for (std::size_t k = 0; k + 1 < descriptors; ++k) {
    if (number(k) != k + 1) return std::nullopt;
    ranges.push_back({lba(k), lba(k + 1)});
  }
  return ranges;
}

void check_report(const FatalError& error) {
  require(!error.report().empty(), "fatal stop with an empty report");
  require(error.report() == error.what(), "what() differs from report()");
}

// Runs `action`; true when it made a fatal stop. Any other exception
// escapes to libFuzzer, which reports it as a crash.
template <typename Action>
bool stops(Action action) {
  try {
    action();
  } catch (const FatalError& error) {
    check_report(error);
    return true;
  }
  return false;
}

// The image or the subcode dump: one allocation for the longest file the
// input can ask for, of which each input takes the first `frames` sectors.
// The spans are only cut, never read, so the bytes stay uninitialised.
class Dump {
 public:
  explicit Dump(std::size_t sector_size)
      : sector_size_(sector_size),
        bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(max_frames *
                                                              sector_size)) {}

  std::size_t sector_size() const { return sector_size_; }
  Bytes file(std::uint64_t frames) const {
    return Bytes(bytes_.get(), frames * sector_size_);
  }

 private:
  std::size_t sector_size_;
  std::unique_ptr<std::uint8_t[]> bytes_;
};

using CutSpan = Bytes (*)(Bytes, const std::vector<TrackLbaRange>&,
                          std::uint64_t, std::uint64_t);

// The span must be exactly the chosen tracks' byte range, or a fatal stop
// when that range leaves the file or runs backwards.
void check_span(CutSpan cut, const Dump& dump, std::uint64_t frames,
                const std::vector<TrackLbaRange>& ranges,
                std::uint64_t start_track, std::uint64_t end_track) {
  const Bytes file = dump.file(frames);
  const std::uint64_t sector_size = dump.sector_size();
  const std::uint64_t a = sector_size * ranges[start_track - 1].start_lba;
  const std::uint64_t b = sector_size * ranges[end_track - 1].end_lba;
  const bool must_stop = a > file.size() || b > file.size() || a > b;
  Bytes span;
  const bool stopped =
      stops([&] { span = cut(file, ranges, start_track, end_track); });
  require(stopped == must_stop, "span stop does not match its byte range");
  if (stopped) return;
  require(span.data() >= file.data() &&
              span.data() + span.size() <= file.data() + file.size(),
          "span lies outside its file");
  require(span.data() == file.data() + a && span.size() == b - a,
          "span is not the chosen tracks' byte range");
}

void fuzz_one(Bytes input) {
  if (input.size() < header_size) return;
  const std::uint64_t img_frames = read_be(input, 0, 2);
  const std::uint64_t cdg_frames = read_be(input, 2, 2);
  const std::uint64_t start_track = read_be(input, 4, 8);
  const std::uint64_t end_track = read_be(input, 12, 8);
  const Bytes toc = input.subspan(header_size);

  const auto expected = expected_ranges(toc);
  std::vector<TrackLbaRange> ranges;
  const bool parse_stopped = stops([&] { ranges = glyphreel::parse_toc(toc); });
  require(parse_stopped == !expected.has_value(),
          "table of contents accepted or refused wrongly");
  if (parse_stopped) return;
  require(ranges == *expected, "track ranges differ from the descriptors");

  // The spans are cut even when a dump stops short of the lead-out: their
  // own checks must hold whatever check_ranges said.
  const bool ranges_stopped =
      stops([&] { glyphreel::check_ranges(ranges, img_frames, cdg_frames); });
  const bool short_dump = ranges.empty() ||
                          ranges.back().end_lba > img_frames ||
                          ranges.back().end_lba > cdg_frames;
  require(ranges_stopped == short_dump, "range check wrong for the lengths");

  const bool indices_stopped = stops(
      [&] { glyphreel::check_track_indices(ranges, start_track, end_track); });
  require(indices_stopped == (start_track - 1 >= ranges.size() ||
                              end_track - 1 >= ranges.size()),
          "track index check wrong for the number of tracks");
  if (indices_stopped) return;

  static const Dump img(glyphreel::img_frame_size);
  static const Dump cdg(glyphreel::cdg_frame_size);
  check_span(&glyphreel::audio_span, img, img_frames, ranges, start_track,
             end_track);
  check_span(&glyphreel::subcode_span, cdg, cdg_frames, ranges, start_track,
             end_track);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case([&] { fuzz_one(Bytes(data, size)); });
}
