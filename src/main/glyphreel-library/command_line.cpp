#include "main/glyphreel-library/command_line.hpp"

#include "base/text.hpp"
#include "encoder/library_encoder.hpp"
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

// A whole number from `smallest` to `largest`, digits only.
std::optional<unsigned> number_option(const ScannedOptions& scanned,
                                      const OptionKind& option,
                                      unsigned fallback, unsigned smallest,
                                      unsigned largest) {
  if (!scanned.has(option)) return fallback;
  const std::optional<std::string> text = scanned.text(option);
  if (!text || text->empty() || text->front() == '+') return std::nullopt;
  const ParsedNumber parsed = parse_decimal_u64(*text);
  if (parsed.fault || parsed.value < smallest || parsed.value > largest) {
    return std::nullopt;
  }
  return static_cast<unsigned>(parsed.value);
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
  videos.ffmpeg_path = scanned->has(ffmpeg_option)
                           ? scanned->options.at(ffmpeg_option.name)
                           : platform::native_from_ascii("ffmpeg");
  return videos;
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
  return ShowLibraryUsage{};
}

}  // namespace glyphreel
