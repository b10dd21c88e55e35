// The import report: what checking and correcting the subchannel found, per
// track and for the whole disc, and for rips what the subchannel's Q said
// (where the records lie, where they slipped), as a table for people or as
// JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "subchannel/damage.hpp"

namespace glyphreel {

// "mm:ss.ff" at 75 sectors a second; minutes run past 99 as needed.
std::string track_time(std::uint64_t sectors);

// A rip's Q frames in one track's sectors, by where its records were put.
struct TrackQ {
  std::uint64_t frames = 0;      // with a good CRC
  std::uint64_t crc_errors = 0;  // present, with a CRC that does not match
  bool operator==(const TrackQ&) const = default;
};

// Where the subchannel slipped against the audio: from sector `at` of track
// `track` (counted from its start; negative in the pregap before the first
// track) on, the records lie `by` sectors further on than before. A drive
// that dropped records makes it positive, one that repeated them negative.
struct SlipPlace {
  std::uint64_t track = 0;
  std::int64_t at = 0;
  std::int64_t by = 0;
  bool operator==(const SlipPlace&) const = default;
};

struct QReport {
  std::vector<TrackQ> tracks;  // one per track of the damage report
  // The file sector of the subchannel's first record, as --sub-start counts
  // it, and whether its Q found it (else it was given or the default, 0).
  std::int64_t subchannel_start = 0;
  bool start_found_by_q = false;
  std::vector<SlipPlace> slips;  // in disc order
  bool operator==(const QReport&) const = default;
};

// A table with one row per track (packs, graphics packs, valid, corrected
// with the symbols corrected, without parity, uncorrectable, with `q` the
// Q frames and Q CRC errors, and the track times of the first damaged
// packs, with a count of those not listed), then a row of the disc's
// totals; with no tracks, the totals row alone; then, when bytes had high
// bits cleared, a line that counts them; with `q` a line that gives the
// subchannel's start and one per slip. Ends in a line feed.
std::string report_text(const DamageReport& report,
                        const std::optional<QReport>& q = std::nullopt);

// One JSON object on one line, ending in a line feed:
// {"tracks":[{"number":1,"packs":…,"graphics_packs":…,"valid":…,
// "corrected":…,"symbols_corrected":…,"without_parity":…,"uncorrectable":…,
// "damaged_at":["00:01.23",…]},…],"totals":{the same counts},
// "high_bits_cleared":…}; with `q` each track also has "q_frames" and
// "q_crc_errors" after "uncorrectable", and the object ends in
// "subchannel_start":{"sector":-150,"found_by_q":true} and
// "slips":[{"track":2,"at":"01:02.03","by":-3},…], a time before the first
// track's start with a minus sign.
std::string report_json(const DamageReport& report,
                        const std::optional<QReport>& q = std::nullopt);

}  // namespace glyphreel
