// The import report: what checking and correcting the subchannel found, per
// track and for the whole disc, as a table for people or as JSON.
#pragma once

#include <cstdint>
#include <string>

#include "subchannel/damage.hpp"

namespace glyphreel {

// "mm:ss.ff" at 75 sectors a second; minutes run past 99 as needed.
std::string track_time(std::uint64_t sectors);

// A table with one row per track (packs, graphics packs, valid, corrected
// with the symbols corrected, without parity, uncorrectable, and the track
// times of the first damaged packs, with a count of those not listed), then
// a row of the disc's totals; with no tracks, the totals row alone; then,
// when bytes had high bits cleared, a line that counts them. Ends in a line
// feed.
std::string report_text(const DamageReport& report);

// One JSON object on one line, ending in a line feed:
// {"tracks":[{"number":1,"packs":…,"graphics_packs":…,"valid":…,
// "corrected":…,"symbols_corrected":…,"without_parity":…,"uncorrectable":…,
// "damaged_at":["00:01.23",…]},…],"totals":{the same counts},
// "high_bits_cleared":…}.
std::string report_json(const DamageReport& report);

}  // namespace glyphreel
