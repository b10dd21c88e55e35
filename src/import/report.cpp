#include "import/report.hpp"

#include <algorithm>
#include <vector>

#include "disc/toc.hpp"
#include "import/text_lines.hpp"

namespace glyphreel {

namespace {

constexpr std::uint64_t seconds_per_minute = 60;

using Row = std::vector<std::string>;

Row counts_row(std::string label, const ParityTally& tally) {
  return {std::move(label),
          std::to_string(tally.packs),
          std::to_string(tally.graphics_packs),
          std::to_string(tally.valid),
          std::to_string(tally.corrected) + " (" +
              std::to_string(tally.symbols_corrected) + ")",
          std::to_string(tally.without_parity),
          std::to_string(tally.uncorrectable)};
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

// The first column and the damaged places read left to right; the counts
// line up on their last digit.
std::string table(const std::vector<Row>& rows) {
  std::vector<std::size_t> widths(rows.front().size(), 0);
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      widths[c] = std::max(widths[c], row[c].size());
    }
  }
  std::string text;
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += "  ";
      const std::string pad(widths[c] - row[c].size(), ' ');
      const bool left = c == 0 || c + 1 == widths.size();
      line += left ? row[c] + pad : pad + row[c];
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
  }
  return text;
}

// A slip's time in its track, "-00:00.05" before the track's start.
std::string signed_time(std::int64_t sectors) {
  if (sectors >= 0) return track_time(static_cast<std::uint64_t>(sectors));
  // Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict)
  // about a literal added to a temporary string.
  std::string text(1, '-');
  text += track_time(static_cast<std::uint64_t>(-sectors));
  return text;
}

std::string q_lines(const QReport& q) {
  std::string text =
      "subchannel start: sector " + std::to_string(q.subchannel_start) +
      (q.start_found_by_q ? ", found by Q\n" : ", not found by Q\n");
  for (const SlipPlace& slip : q.slips) {
    const std::string count = std::to_string(slip.by < 0 ? -slip.by : slip.by);
    text += "slip in track " + std::to_string(slip.track) + " at " +
            signed_time(slip.at) + " by " + (slip.by > 0 ? "+" : "") +
            std::to_string(slip.by) +
            (slip.by > 0 ? ": " + count + " sectors without subchannel, idle\n"
                         : ": " + count + " records repeated, dropped\n");
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

void append_q(std::string& json, const QReport& q) {
  json += ",\"subchannel_start\":{\"sector\":" +
          std::to_string(q.subchannel_start) +
          ",\"found_by_q\":" + (q.start_found_by_q ? "true" : "false") +
          "},\"slips\":[";
  const char* separator = "";
  for (const SlipPlace& slip : q.slips) {
    json += separator;
    json += "{\"track\":" + std::to_string(slip.track) + ",\"at\":\"" +
            signed_time(slip.at) + "\",\"by\":" + std::to_string(slip.by) + "}";
    separator = ",";
  }
  json += "]";
}

}  // namespace

std::string track_time(std::uint64_t sectors) {
  const std::uint64_t seconds = sectors / sectors_per_second;
  return two_digits(seconds / seconds_per_minute) + ":" +
         two_digits(seconds % seconds_per_minute) + "." +
         two_digits(sectors % sectors_per_second);
}

std::string report_text(const DamageReport& report,
                        const std::optional<QReport>& q) {
  Row head = {
      "track",     "packs",        "graphics", "valid", "corrected (symbols)",
      "no parity", "uncorrectable"};
  if (q) head.insert(head.end(), {"Q frames", "Q errors"});
  head.emplace_back("damaged at");
  std::vector<Row> rows = {head};
  for (std::size_t t = 0; t < report.tracks.size(); ++t) {
    const TrackDamage& track = report.tracks[t];
    Row row = counts_row(std::to_string(track.number), track.tally);
    if (q) {
      const TrackQ counts = t < q->tracks.size() ? q->tracks[t] : TrackQ{};
      row.push_back(std::to_string(counts.frames));
      row.push_back(std::to_string(counts.crc_errors));
    }
    row.push_back(damaged_places(track));
    rows.push_back(std::move(row));
  }
  Row totals = counts_row("total", report.totals);
  if (q) {
    TrackQ sum;
    for (const TrackQ& counts : q->tracks) {
      sum.frames += counts.frames;
      sum.crc_errors += counts.crc_errors;
    }
    totals.push_back(std::to_string(sum.frames));
    totals.push_back(std::to_string(sum.crc_errors));
  }
  totals.emplace_back();
  rows.push_back(std::move(totals));

  std::string text = table(rows);
  if (report.high_bits_cleared != 0) {
    text += "high bits cleared in " + std::to_string(report.high_bits_cleared) +
            " bytes: a pack's symbols are their low six bits\n";
  }
  if (q) text += q_lines(*q);
  return text;
}

std::string report_json(const DamageReport& report,
                        const std::optional<QReport>& q) {
  std::string json = "{\"tracks\":[";
  const char* track_separator = "";
  for (std::size_t t = 0; t < report.tracks.size(); ++t) {
    const TrackDamage& track = report.tracks[t];
    json += track_separator;
    track_separator = ",";
    json += "{\"number\":" + std::to_string(track.number) + ",";
    append_counts(json, track.tally);
    if (q) {
      const TrackQ counts = t < q->tracks.size() ? q->tracks[t] : TrackQ{};
      json += ",\"q_frames\":" + std::to_string(counts.frames) +
              ",\"q_crc_errors\":" + std::to_string(counts.crc_errors);
    }
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
  json += "},\"high_bits_cleared\":" + std::to_string(report.high_bits_cleared);
  if (q) append_q(json, *q);
  return json + "}\n";
}

}  // namespace glyphreel
