#include "import/clonecd.hpp"

#include <map>
#include <optional>
#include <string>

#include "base/text.hpp"
#include "import/text_lines.hpp"

namespace glyphreel {

namespace {

constexpr std::uint64_t max_lba = 0xFFFFFFFF;
constexpr std::uint64_t max_track_number = 99;
constexpr std::uint64_t max_session = 99;
constexpr std::uint64_t point_lead_out = 0xA2;
constexpr std::uint64_t adr_position = 1;
constexpr std::uint64_t control_data = 0x04;

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// Lower case, inner runs of blanks as one space: "INDEX  1" finds "index 1".
std::string normalised(std::string_view name) {
  std::string result;
  for (const char c : trim(name)) {
    if (is_blank(c)) {
      if (result.back() != ' ') result += ' ';
    } else {
      result += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  return result;
}

// Decimal, or hex after 0x; no sign.
std::optional<std::uint64_t> whole_number(std::string_view text) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    if (value > (UINT64_MAX - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return value;
}

struct Setting {
  std::string key;  // as written
  std::string value;
  std::size_t line = 0;
};

struct Section {
  std::string name;  // as written, between the brackets
  std::size_t line = 0;
  std::map<std::string, Setting> settings;  // by normalised key
};

// "[name]" for a report, what came from the file escaped.
std::string bracketed(std::string_view name) {
  // Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict)
  // about a literal added to a temporary string.
  std::string text(1, '[');
  text += escape_text(name);
  text += ']';
  return text;
}

// The line of a key that the section is known to have.
std::size_t line_of(const Section& section, std::string_view key) {
  return section.settings.at(normalised(key)).line;
}

class CcdReader {
 public:
  CcdReader(std::string_view text, std::string_view ccd_name)
      : name_(ccd_name) {
    for_each_line(text, [&](std::size_t line_number, std::string_view line) {
      read_line(line_number, trim(line));
    });
  }

  [[noreturn]] void refuse(std::size_t line, const std::string& why) const {
    throw refusal(name_, line, why);
  }

  const Section* find(std::string_view name) const {
    const auto found = by_name_.find(normalised(name));
    return found == by_name_.end() ? nullptr : &sections_[found->second];
  }

  // In file order.
  const std::vector<Section>& sections() const { return sections_; }

  std::uint64_t number(const Section& section, std::string_view key,
                       std::uint64_t min, std::uint64_t max) const {
    const auto found = section.settings.find(normalised(key));
    if (found == section.settings.end()) {
      refuse(section.line,
             bracketed(section.name) + " has no " + std::string(key));
    }
    const Setting& setting = found->second;
    const auto value = whole_number(setting.value);
    if (!value || *value < min || *value > max) {
      refuse(setting.line,
             escape_text(setting.key) + "=" + escape_text(setting.value) +
                 " is not a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max));
    }
    return *value;
  }

 private:
  void read_line(std::size_t number, std::string_view line) {
    if (line.empty()) return;
    if (line.front() == '[') {
      if (line.back() != ']') refuse(number, "no ']' closes the section name");
      const std::string section(trim(line.substr(1, line.size() - 2)));
      const auto [it, added] =
          by_name_.try_emplace(normalised(section), sections_.size());
      if (!added) {
        refuse(number, bracketed(section) + " comes twice, first on line " +
                           std::to_string(sections_[it->second].line));
      }
      sections_.push_back({section, number, {}});
      return;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      refuse(number, "no '=' after the key");
    }
    const std::string_view key = trim(line.substr(0, equals));
    if (key.empty()) refuse(number, "no key before '='");
    if (sections_.empty()) refuse(number, "key before any [section]");
    Section& section = sections_.back();
    const auto [it, added] = section.settings.try_emplace(
        normalised(key),
        Setting{std::string(key), std::string(trim(line.substr(equals + 1))),
                number});
    if (!added) {
      refuse(number, escape_text(key) + " comes twice in " +
                         bracketed(section.name) + ", first on line " +
                         std::to_string(it->second.line));
    }
  }

  std::string_view name_;
  std::vector<Section> sections_;
  std::map<std::string, std::size_t> by_name_;  // normalised name to index
};

bool is_entry(std::string_view normalised_name) {
  constexpr std::string_view prefix = "entry ";
  return normalised_name.starts_with(prefix) &&
         whole_number(normalised_name.substr(prefix.size())).has_value();
}

}  // namespace

CloneCdDisc parse_clonecd(std::string_view text, std::string_view ccd_name) {
  const CcdReader ccd(text, ccd_name);
  const Section* disc_section = ccd.find("Disc");
  if (disc_section == nullptr) ccd.refuse(0, "no [Disc] section");
  CloneCdDisc disc;
  disc.sessions = ccd.number(*disc_section, "Sessions", 1, max_session);
  const std::uint64_t toc_entries =
      ccd.number(*disc_section, "TocEntries", 0, max_lba);

  // The first session's track entries by track number, and its lead-out.
  std::map<std::uint64_t, const Section*> track_entries;
  const Section* lead_out = nullptr;
  std::uint64_t entries = 0;
  for (const Section& entry : ccd.sections()) {
    if (!is_entry(normalised(entry.name))) continue;
    ++entries;
    const std::uint64_t session = ccd.number(entry, "Session", 1, max_session);
    const std::uint64_t point = ccd.number(entry, "Point", 0, 0xFF);
    const std::uint64_t adr = ccd.number(entry, "ADR", 0, 0x0F);
    ccd.number(entry, "Control", 0, 0x0F);
    if (session != 1 || adr != adr_position) continue;
    if (point == point_lead_out) {
      if (lead_out != nullptr) {
        ccd.refuse(entry.line, bracketed(entry.name) +
                                   " is a second lead-out of "
                                   "session 1, after " +
                                   bracketed(lead_out->name));
      }
      lead_out = &entry;
    } else if (point >= 1 && point <= max_track_number) {
      const auto [it, added] = track_entries.try_emplace(point, &entry);
      if (!added) {
        ccd.refuse(entry.line, bracketed(entry.name) +
                                   " is a second entry for " + "track " +
                                   std::to_string(point) + ", after " +
                                   bracketed(it->second->name));
      }
    }
  }
  if (entries != toc_entries) {
    ccd.refuse(line_of(*disc_section, "TocEntries"),
               "TocEntries=" + std::to_string(toc_entries) + " but there are " +
                   std::to_string(entries) + " [Entry] sections");
  }
  if (track_entries.empty()) ccd.refuse(0, "no track in session 1");
  if (lead_out == nullptr) {
    ccd.refuse(0,
               "no lead-out: no [Entry] with Session=1, ADR=1 and "
               "Point=0xa2");
  }
  disc.lead_out_lba = ccd.number(*lead_out, "PLBA", 0, max_lba);

  std::uint64_t previous_number = 0;
  for (const auto& [track_number, entry] : track_entries) {
    if (previous_number != 0 && track_number != previous_number + 1) {
      ccd.refuse(entry->line, bracketed(entry->name) + " is track " +
                                  std::to_string(track_number) +
                                  " after track " +
                                  std::to_string(previous_number) +
                                  ": track numbers count up by one");
    }
    const std::string track_name = "TRACK " + std::to_string(track_number);
    const Section* track = ccd.find(track_name);
    if (track == nullptr) {
      ccd.refuse(0, "no [" + track_name + "] for track " +
                        std::to_string(track_number) + " of session 1");
    }
    const std::uint64_t start = ccd.number(*track, "INDEX 1", 0, max_lba);
    if (!disc.tracks.empty() && start <= disc.tracks.back().start_lba) {
      ccd.refuse(
          line_of(*track, "INDEX 1"),
          bracketed(track->name) + " INDEX 1=" + std::to_string(start) +
              " does not come after track " + std::to_string(previous_number) +
              "'s INDEX 1=" + std::to_string(disc.tracks.back().start_lba));
    }
    const bool data =
        (ccd.number(*entry, "Control", 0, 0x0F) & control_data) != 0;
    disc.tracks.push_back({start, data});
    previous_number = track_number;
  }
  if (disc.lead_out_lba <= disc.tracks.back().start_lba) {
    ccd.refuse(
        line_of(*lead_out, "PLBA"),
        "the lead-out PLBA=" + std::to_string(disc.lead_out_lba) +
            " does not come after track " + std::to_string(previous_number) +
            "'s INDEX 1=" + std::to_string(disc.tracks.back().start_lba));
  }
  return disc;
}

}  // namespace glyphreel
