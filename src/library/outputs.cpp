#include "library/outputs.hpp"

#include <array>
#include <type_traits>

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

bool all_digits(const NativeString& text) {
  if (text.empty() || text.size() > 19) return false;
  for (const auto c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
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

NativeString temporary_name(const NativeString& video_name,
                            const TemporaryOwner& owner, TemporaryKind kind,
                            std::string_view audio_extension) {
  std::string tail = "." + owner.host + "." + std::to_string(owner.process) +
                     std::string(marker) +
                     std::string(kind_words[static_cast<std::size_t>(kind)]);
  if (kind == TemporaryKind::Audio) {
    tail += '.';
    tail += audio_extension;
  }
  return platform::native_from_ascii(".") + video_name +
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
  // ".<video name>.<host>.<process>" before the marker.
  const NativeString head = name.substr(0, at);
  const std::size_t process_dot = head.rfind('.');
  if (process_dot == NativeString::npos || process_dot == 0) {
    return std::nullopt;
  }
  const std::size_t host_dot = head.rfind('.', process_dot - 1);
  if (host_dot == NativeString::npos || host_dot == 0) return std::nullopt;
  const NativeString process = head.substr(process_dot + 1);
  const std::optional<std::string> host =
      ascii_text(head.substr(host_dot + 1, process_dot - host_dot - 1));
  if (!all_digits(process) || !host || host->empty() ||
      host_label(*host) != *host) {
    return std::nullopt;
  }
  ParsedTemporary parsed;
  parsed.video_name = head.substr(1, host_dot - 1);
  parsed.owner.host = *host;
  for (const auto digit : process) {
    parsed.owner.process =
        parsed.owner.process * 10 + static_cast<std::uint64_t>(digit - '0');
  }
  return parsed;
}

bool is_stale_temporary(const TemporaryOwner& temporary, std::string_view host,
                        const std::function<bool(std::uint64_t)>& running) {
  return temporary.host == host && !running(temporary.process);
}

bool temporary_in_use(const TemporaryOwner& temporary, std::string_view host,
                      const std::function<bool(std::uint64_t)>& running,
                      std::uint64_t seconds_unchanged) {
  if (temporary.host == host) return running(temporary.process);
  return seconds_unchanged < abandoned_after_seconds;
}

}  // namespace glyphreel
