#include "library/report.hpp"

#include <array>
#include <cmath>
#include <cstdio>

#include "platform/text.hpp"

namespace glyphreel {

namespace {

std::string seconds_text(double seconds) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f", seconds);
  return text.data();
}

std::string one_line(std::string_view field) {
  std::string text(field);
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict)
// about a literal followed by a temporary string.
std::string counter(const Tally& tally) {
  std::string text = "[";
  text += std::to_string(tally.finished());
  text += '/';
  text += std::to_string(tally.total);
  return text + "]";
}

}  // namespace

std::string_view status_word(SongStatus status) {
  switch (status) {
    case SongStatus::Converted:
      return "converted";
    case SongStatus::Skipped:
      return "skipped";
    case SongStatus::Failed:
      break;
  }
  return "failed";
}

std::string json_string(std::string_view utf8) {
  // Reasons may hold an encoder's own bytes, such as a file name that is
  // not UTF-8: a JSON line must be text.
  const std::string text = platform::utf8_lossy(utf8);
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (c == '\n') {
      json += "\\n";
    } else if (c == '\t') {
      json += "\\t";
    } else if (c == '\r') {
      json += "\\r";
    } else if (byte < 0x20) {
      std::array<char, 8> escape{};
      std::snprintf(escape.data(), escape.size(), "\\u%04x", byte);
      json += escape.data();
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string result_json(const SongResult& result) {
  std::string json = "{\"source\":" + json_string(result.source) +
                     ",\"output\":" + json_string(result.output) +
                     ",\"status\":" + json_string(status_word(result.status));
  if (result.status != SongStatus::Converted) {
    json += ",\"reason\":" + json_string(result.reason);
  }
  json += ",\"seconds\":" + seconds_text(result.seconds);
  if (result.status == SongStatus::Converted) {
    json += ",\"frames\":" + std::to_string(result.frames) + ",\"audio\":" +
            json_string(result.audio_copied ? "copied" : "encoded");
  }
  return json + "}\n";
}

std::string list_line(std::string_view name, std::string_view source,
                      std::string_view audio, bool done) {
  return one_line(name) + "\t" + one_line(source) + "\t" + one_line(audio) +
         "\t" + (done ? "done" : "todo") + "\n";
}

void Tally::count(SongStatus status) {
  switch (status) {
    case SongStatus::Converted:
      ++converted;
      break;
    case SongStatus::Skipped:
      ++skipped;
      break;
    case SongStatus::Failed:
      ++failed;
      break;
  }
}

std::string clock_text(double seconds) {
  const auto whole =
      static_cast<std::uint64_t>(std::floor(std::max(seconds, 0.0)));
  std::array<char, 48> text{};
  const auto hours = static_cast<unsigned long long>(whole / 3600);
  const auto minutes = static_cast<unsigned>(whole / 60 % 60);
  const auto rest = static_cast<unsigned>(whole % 60);
  if (hours > 0) {
    std::snprintf(text.data(), text.size(), "%llu:%02u:%02u", hours, minutes,
                  rest);
  } else {
    std::snprintf(text.data(), text.size(), "%u:%02u", minutes, rest);
  }
  return text.data();
}

std::string progress_line(const Tally& tally, double elapsed_seconds) {
  std::string line = counter(tally) + " " + std::to_string(tally.failed) +
                     " failed, " + std::to_string(tally.skipped) +
                     " skipped, " + clock_text(elapsed_seconds) + " elapsed";
  const std::uint64_t worked = tally.converted + tally.failed;
  if (worked > 0) {
    const double left = elapsed_seconds / static_cast<double>(worked) *
                        static_cast<double>(tally.total - tally.finished());
    line += ", about " + clock_text(left) + " left";
  }
  return line;
}

std::string finished_line(const Tally& tally, const SongResult& result) {
  std::string line = counter(tally) + " " +
                     std::string(status_word(result.status)) + " " +
                     result.name;
  if (result.status == SongStatus::Converted) {
    line += " (" + seconds_text(result.seconds) + " s)";
  } else {
    line += ": " + result.reason;
  }
  return line + "\n";
}

std::string summary_line(const Tally& tally, double elapsed_seconds) {
  return "glyphreel-library: " + std::to_string(tally.converted) +
         " converted, " + std::to_string(tally.skipped) + " skipped, " +
         std::to_string(tally.failed) + " failed in " +
         clock_text(elapsed_seconds) + "\n";
}

}  // namespace glyphreel
