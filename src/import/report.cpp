#include "import/report.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "disc/toc.hpp"
#include "import/text_lines.hpp"

namespace glyphreel {

namespace {

constexpr std::uint64_t seconds_per_minute = 60;

constexpr std::size_t columns = 8;
using Row = std::array<std::string, columns>;
// The first column and the damaged places read left to right; the counts
// line up on their last digit.
constexpr std::array<bool, columns> left_aligned = {true,  false, false, false,
                                                    false, false, false, true};

Row counts_row(std::string label, const ParityTally& tally) {
  return {std::move(label),
          std::to_string(tally.packs),
          std::to_string(tally.graphics_packs),
          std::to_string(tally.valid),
          std::to_string(tally.corrected) + " (" +
              std::to_string(tally.symbols_corrected) + ")",
          std::to_string(tally.without_parity),
          std::to_string(tally.uncorrectable),
          ""};
}

std::string damaged_places(const TrackDamage& track) {
  std::string text;
  for (const std::uint64_t sector : track.damaged_sectors) {
    if (!text.empty()) text += ", ";
    text += track_time(sector);
  }
  // The list holds sectors, so what it leaves out is counted in sectors.
  const std::uint64_t listed = track.damaged_sectors.size();
  if (track.damaged_sector_count > listed) {
    if (!text.empty()) text += " and ";
    text += std::to_string(track.damaged_sector_count - listed) + " more";
  }
  return text;
}

void append_counts(std::string& json, const ParityTally& tally) {
  json += "\"packs\":" + std::to_string(tally.packs) +
          ",\"graphics_packs\":" + std::to_string(tally.graphics_packs) +
          ",\"valid\":" + std::to_string(tally.valid) +
          ",\"corrected\":" + std::to_string(tally.corrected) +
          ",\"symbols_corrected\":" + std::to_string(tally.symbols_corrected) +
          ",\"without_parity\":" + std::to_string(tally.without_parity) +
          ",\"uncorrectable\":" + std::to_string(tally.uncorrectable);
}

}  // namespace

std::string track_time(std::uint64_t sectors) {
  const std::uint64_t seconds = sectors / sectors_per_second;
  return two_digits(seconds / seconds_per_minute) + ":" +
         two_digits(seconds % seconds_per_minute) + "." +
         two_digits(sectors % sectors_per_second);
}

std::string report_text(const DamageReport& report) {
  std::vector<Row> rows = {{"track", "packs", "graphics", "valid",
                            "corrected (symbols)", "no parity", "uncorrectable",
                            "damaged at"}};
  for (const TrackDamage& track : report.tracks) {
    Row row = counts_row(std::to_string(track.number), track.tally);
    row.back() = damaged_places(track);
    rows.push_back(std::move(row));
  }
  rows.push_back(counts_row("total", report.totals));

  std::array<std::size_t, columns> widths{};
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < columns; ++c) {
      widths[c] = std::max(widths[c], row[c].size());
    }
  }
  std::string text;
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < columns; ++c) {
      if (c > 0) line += "  ";
      const std::string pad(widths[c] - row[c].size(), ' ');
      line += left_aligned[c] ? row[c] + pad : pad + row[c];
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
  }
  if (report.high_bits_cleared != 0) {
    text += "high bits cleared in " + std::to_string(report.high_bits_cleared) +
            " bytes: a pack's symbols are their low six bits\n";
  }
  return text;
}

std::string report_json(const DamageReport& report) {
  std::string json = "{\"tracks\":[";
  const char* track_separator = "";
  for (const TrackDamage& track : report.tracks) {
    json += track_separator;
    track_separator = ",";
    json += "{\"number\":" + std::to_string(track.number) + ",";
    append_counts(json, track.tally);
    json += ",\"damaged_at\":[";
    const char* separator = "";
    for (const std::uint64_t sector : track.damaged_sectors) {
      json += separator;
      json += '"' + track_time(sector) + '"';
      separator = ",";
    }
    json += "]}";
  }
  json += "],\"totals\":{";
  append_counts(json, report.totals);
  json +=
      "},\"high_bits_cleared\":" + std::to_string(report.high_bits_cleared) +
      "}\n";
  return json;
}

}  // namespace glyphreel
