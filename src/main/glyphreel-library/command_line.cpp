#include "main/glyphreel-library/command_line.hpp"

#include "encoder/library_encoder.hpp"
#include "import/text_lines.hpp"
#include "main/options.hpp"

namespace glyphreel {

namespace {

constexpr OptionKind out_option{"--out", true};
constexpr OptionKind jobs_option{"-j", true};
constexpr OptionKind scale_option{"--scale", true};
constexpr OptionKind pad_option{"--pad", true};
constexpr OptionKind shard_option{"--shard", true};
constexpr OptionKind results_option{"--results", true};
constexpr OptionKind list_option{"--list", false};
constexpr OptionKind ffmpeg_option{"--ffmpeg", true};
constexpr OptionKind audio_option{"--audio", true};
constexpr OptionKind folders_option{"--folders", false};
constexpr OptionKind names_option{"--names", true};
constexpr OptionKind tracks_option{"--tracks", true};

// A whole number from `smallest` to `largest`, digits only.
std::optional<unsigned> number_option(const ScannedOptions& scanned,
                                      const OptionKind& option,
                                      unsigned fallback, unsigned smallest,
                                      unsigned largest) {
  if (!scanned.has(option)) return fallback;
  const std::optional<std::string> text = scanned.text(option);
  const std::optional<std::uint64_t> value =
      text ? parse_digits(*text, 10) : std::nullopt;
  if (!value || *value < smallest || *value > largest) return std::nullopt;
  return static_cast<unsigned>(*value);
}

// --ffmpeg PATH, or "ffmpeg" from PATH.
NativeString ffmpeg_path(const ScannedOptions& scanned) {
  return scanned.has(ffmpeg_option) ? scanned.options.at(ffmpeg_option.name)
                                    : platform::native_from_ascii("ffmpeg");
}

LibraryRequest parse_videos(std::span<const NativeString> arguments) {
  const auto scanned = scan_options(
      arguments, {out_option, jobs_option, scale_option, pad_option,
                  shard_option, results_option, list_option, ffmpeg_option});
  if (!scanned || scanned->positionals.empty() || !scanned->has(out_option)) {
    return ShowLibraryUsage{};
  }
  VideosArguments videos;
  videos.sources = scanned->positionals;
  videos.out_folder = scanned->options.at(out_option.name);
  const auto jobs =
      number_option(*scanned, jobs_option, 0, 1, largest_job_count);
  const auto scale = number_option(*scanned, scale_option, default_scale,
                                   smallest_scale, largest_scale);
  if (!jobs || !scale || videos.out_folder.empty()) return ShowLibraryUsage{};
  videos.jobs = *jobs;
  videos.scale = *scale;
  if (scanned->has(pad_option)) {
    if (scanned->text(pad_option) != "16:9") return ShowLibraryUsage{};
    videos.pad_16_9 = true;
  }
  if (scanned->has(shard_option)) {
    const std::optional<std::string> text = scanned->text(shard_option);
    const std::optional<Shard> shard = text ? parse_shard(*text) : std::nullopt;
    if (!shard) return ShowLibraryUsage{};
    videos.shard = *shard;
  }
  if (scanned->has(results_option)) {
    videos.results_path = scanned->options.at(results_option.name);
  }
  videos.list = scanned->has(list_option);
  videos.ffmpeg_path = ffmpeg_path(*scanned);
  return videos;
}

LibraryRequest parse_songs(std::span<const NativeString> arguments) {
  const auto scanned =
      scan_options(arguments, {audio_option, folders_option, names_option,
                               tracks_option, ffmpeg_option});
  if (!scanned || scanned->positionals.size() != 2 ||
      scanned->positionals[0].empty() || scanned->positionals[1].empty()) {
    return ShowLibraryUsage{};
  }
  DiscSongsArguments songs;
  songs.disc_folder = scanned->positionals[0];
  songs.out_folder = scanned->positionals[1];
  if (scanned->has(audio_option)) {
    const std::optional<std::string> word = scanned->text(audio_option);
    const auto audio = word ? parse_audio_word(*word) : std::nullopt;
    if (!audio) return ShowLibraryUsage{};
    songs.audio = *audio;
  }
  songs.folders = scanned->has(folders_option);
  if (scanned->has(names_option)) {
    songs.names_path = scanned->options.at(names_option.name);
    if (songs.names_path->empty()) return ShowLibraryUsage{};
  }
  if (scanned->has(tracks_option)) {
    const std::optional<std::string> text = scanned->text(tracks_option);
    songs.tracks = text ? parse_track_range(*text) : std::nullopt;
    if (!songs.tracks) return ShowLibraryUsage{};
  }
  songs.ffmpeg_path = ffmpeg_path(*scanned);
  return songs;
}

}  // namespace

std::string library_version_line() { return version_line("glyphreel-library"); }

std::string library_help_text() {
  return help_text(library_usage_text, "glyphreel-library");
}

LibraryRequest parse_library_arguments(std::span<const NativeString> argv) {
  if (argv.size() < 2) return ShowLibraryUsage{};
  const std::optional<std::string> command = platform::argument_text(argv[1]);
  const std::span<const NativeString> rest = argv.subspan(2);
  if (command == "--help" && rest.empty()) return ShowLibraryHelp{};
  if (command == "--version" && rest.empty()) return ShowLibraryVersion{};
  if (command == "videos") return parse_videos(rest);
  if (command == "songs") return parse_songs(rest);
  return ShowLibraryUsage{};
}

}  // namespace glyphreel
