#include "library/outputs.hpp"

#include <array>
#include <cstdio>
#include <type_traits>

#include "library/plan.hpp"

namespace glyphreel {

namespace {

constexpr std::string_view marker = ".glyphreel-";
constexpr std::array<std::string_view, 3> kind_words = {"video", "log",
                                                        "audio"};
constexpr std::size_t longest_label = 63;

bool is_label_character(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '-';
}

constexpr std::size_t run_digits = 8;  // the run's number, in hex

bool all_digits(const NativeString& text) {
  if (text.empty() || text.size() > 19) return false;
  for (const auto c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<std::uint32_t> run_number(const NativeString& text) {
  if (text.size() != run_digits) return std::nullopt;
  std::uint32_t run = 0;
  for (const auto c : text) {
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else {
      return std::nullopt;
    }
    run = run << 4 | digit;
  }
  return run;
}

std::string hex(std::uint64_t value, int digits) {
  char text[17];
  std::snprintf(text, sizeof text, "%0*llx", digits,
                static_cast<unsigned long long>(value));
  return text;
}

// The ASCII text of a native string that holds only label characters,
// digits and dots; nothing otherwise.
std::optional<std::string> ascii_text(const NativeString& text) {
  std::string ascii;
  for (const auto c : text) {
    using Unit = std::make_unsigned_t<NativeString::value_type>;
    if (static_cast<Unit>(c) > 0x7F) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  return ascii;
}

}  // namespace

NativeString output_path(const NativeString& out_folder, const Song& song) {
  return platform::join_path(
      out_folder,
      song.output_stem + platform::native_from_ascii(video_extension));
}

NativeString file_name_part(const NativeString& path) {
  const NativeString folder = platform::parent_folder(path);
  NativeString name = path.substr(folder.size());
  while (!name.empty() && (name.front() == '/' || name.front() == '\\')) {
    name.erase(0, 1);
  }
  return name;
}

std::string host_label(std::string_view host_name) {
  std::string label(host_name.substr(0, host_name.find('.')));
  if (label.size() > longest_label) label.resize(longest_label);
  for (char& c : label) {
    if (!is_label_character(c)) c = '-';
  }
  return label.empty() ? "host" : label;
}

NativeString temporary_stem(const NativeString& video_name) {
  if (video_name.size() <= longest_temporary_stem) return video_name;
  std::string mark(1, '~');
  mark += hex(fnv1a_64(platform::display_path(video_name)), 16);
  constexpr std::size_t mark_size = 17;
  std::size_t end = longest_temporary_stem - mark_size;
  using Unit = std::make_unsigned_t<NativeString::value_type>;
  const auto unit = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<Unit>(video_name[at]));
  };
  if constexpr (sizeof(Unit) == 1) {
    while (end > 0 && (unit(end) & 0xC0) == 0x80) --end;  // UTF-8 inside
  } else if (unit(end - 1) >= 0xD800 && unit(end - 1) < 0xDC00) {
    --end;  // between the two halves of a surrogate pair
  }
  return video_name.substr(0, end) + platform::native_from_ascii(mark);
}

NativeString temporary_name(const NativeString& video_name,
                            const TemporaryOwner& owner, TemporaryKind kind,
                            std::string_view audio_extension) {
  std::string tail = "." + owner.host + "." + std::to_string(owner.process) +
                     "-" + hex(owner.run, run_digits) + std::string(marker) +
                     std::string(kind_words[static_cast<std::size_t>(kind)]);
  if (kind == TemporaryKind::Audio) {
    tail += '.';
    tail += audio_extension;
  }
  return platform::native_from_ascii(".") + temporary_stem(video_name) +
         platform::native_from_ascii(tail);
}

std::optional<ParsedTemporary> parse_temporary(const NativeString& name) {
  if (name.empty() || name.front() != '.') return std::nullopt;
  const NativeString native_marker = platform::native_from_ascii(marker);
  const std::size_t at = name.rfind(native_marker);
  if (at == NativeString::npos) return std::nullopt;
  const std::optional<std::string> kind =
      ascii_text(name.substr(at + marker.size()));
  if (!kind ||
      !(*kind == "video" || *kind == "log" || kind->starts_with("audio."))) {
    return std::nullopt;
  }
  // ".<video stem>.<host>.<process>-<run>" before the marker.
  const NativeString head = name.substr(0, at);
  const std::size_t process_dot = head.rfind('.');
  if (process_dot == NativeString::npos || process_dot == 0) {
    return std::nullopt;
  }
  const std::size_t host_dot = head.rfind('.', process_dot - 1);
  if (host_dot == NativeString::npos || host_dot == 0) return std::nullopt;
  const NativeString process_and_run = head.substr(process_dot + 1);
  const std::size_t dash = process_and_run.find('-');
  if (dash == NativeString::npos) return std::nullopt;
  const NativeString process = process_and_run.substr(0, dash);
  const std::optional<std::uint32_t> run =
      run_number(process_and_run.substr(dash + 1));
  const std::optional<std::string> host =
      ascii_text(head.substr(host_dot + 1, process_dot - host_dot - 1));
  if (!all_digits(process) || !run || !host || host->empty() ||
      host_label(*host) != *host) {
    return std::nullopt;
  }
  ParsedTemporary parsed;
  parsed.video_stem = head.substr(1, host_dot - 1);
  parsed.owner.host = *host;
  for (const auto digit : process) {
    parsed.owner.process =
        parsed.owner.process * 10 + static_cast<std::uint64_t>(digit - '0');
  }
  parsed.owner.run = *run;
  return parsed;
}

bool is_stale_temporary(const TemporaryOwner& temporary, std::string_view host,
                        const std::function<bool(std::uint64_t)>& running,
                        std::uint64_t seconds_unchanged) {
  return temporary.host == host &&
         (seconds_unchanged >= abandoned_after_seconds ||
          !running(temporary.process));
}

bool temporary_in_use(const TemporaryOwner& temporary, std::string_view host,
                      const std::function<bool(std::uint64_t)>& running,
                      std::uint64_t seconds_unchanged) {
  if (temporary.host == host && !running(temporary.process)) return false;
  return seconds_unchanged < abandoned_after_seconds;
}

}  // namespace glyphreel
