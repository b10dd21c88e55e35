#include "main/glyphreel-import/command_line.hpp"

#include <limits>

#include "base/text.hpp"
#include "main/options.hpp"

namespace glyphreel {

namespace {

constexpr OptionKind form_option{"--form", true};
constexpr OptionKind sub_start_option{"--sub-start", true};
constexpr OptionKind uncorrectable_option{"--uncorrectable", true};
constexpr OptionKind json_option{"--json", false};
constexpr OptionKind ffmpeg_option{"--ffmpeg", true};

// A signed decimal: an optional sign, then digits, within 64 bits.
std::optional<std::int64_t> parse_signed(const std::string& text) {
  const bool negative = text.starts_with('-');
  std::string_view digits = text;
  if (negative || digits.starts_with('+')) digits.remove_prefix(1);
  if (digits.empty() || digits.front() == '+') return std::nullopt;
  const ParsedNumber parsed = parse_decimal_u64(digits);
  constexpr auto max = std::uint64_t{std::numeric_limits<std::int64_t>::max()};
  if (parsed.fault || parsed.value > max + (negative ? 1 : 0)) {
    return std::nullopt;
  }
  if (negative) {
    return parsed.value == max + 1 ? std::numeric_limits<std::int64_t>::min()
                                   : -static_cast<std::int64_t>(parsed.value);
  }
  return static_cast<std::int64_t>(parsed.value);
}

// The value of a word option, or nothing (a usage error) for other words.
template <typename Value>
std::optional<Value> word_value(
    const ScannedOptions& scanned, const OptionKind& option, Value fallback,
    std::initializer_list<std::pair<std::string_view, Value>> words) {
  if (!scanned.has(option)) return fallback;
  const std::optional<std::string> text = scanned.text(option);
  for (const auto& [word, value] : words) {
    if (text == word) return value;
  }
  return std::nullopt;
}

std::optional<UncorrectablePacks> uncorrectable_value(
    const ScannedOptions& scanned) {
  return word_value(scanned, uncorrectable_option, UncorrectablePacks::Keep,
                    {{"keep", UncorrectablePacks::Keep},
                     {"blank", UncorrectablePacks::Blank}});
}

ImportRequest parse_cue(std::span<const NativeString> arguments) {
  const auto scanned = scan_options(
      arguments,
      {form_option, sub_start_option, uncorrectable_option, json_option});
  if (!scanned || scanned->positionals.size() != 3) return ShowUsage{};
  const auto form =
      word_value(*scanned, form_option, SubchannelForm::Interleaved,
                 {{"interleaved", SubchannelForm::Interleaved},
                  {"packed", SubchannelForm::Packed},
                  {"cooked", SubchannelForm::Cooked}});
  const auto uncorrectable = uncorrectable_value(*scanned);
  std::optional<std::int64_t> sub_start = 0;
  if (scanned->has(sub_start_option)) {
    const std::optional<std::string> text = scanned->text(sub_start_option);
    sub_start = text ? parse_signed(*text) : std::nullopt;
  }
  if (!form || !uncorrectable || !sub_start) return ShowUsage{};
  const auto& positionals = scanned->positionals;
  return CueArguments{
      positionals[0], positionals[1], positionals[2],           *form,
      *sub_start,     *uncorrectable, scanned->has(json_option)};
}

ImportRequest parse_clonecd(std::span<const NativeString> arguments) {
  const auto scanned =
      scan_options(arguments, {uncorrectable_option, json_option});
  if (!scanned || scanned->positionals.size() != 2) return ShowUsage{};
  const auto uncorrectable = uncorrectable_value(*scanned);
  if (!uncorrectable) return ShowUsage{};
  return CloneCdArguments{scanned->positionals[0], scanned->positionals[1],
                          *uncorrectable, scanned->has(json_option)};
}

ImportRequest parse_songs(std::span<const NativeString> arguments) {
  const auto scanned = scan_options(arguments, {ffmpeg_option});
  // OUTDIR, then one or more whole pairs.
  if (!scanned || scanned->positionals.size() < 3 ||
      scanned->positionals.size() % 2 == 0) {
    return ShowUsage{};
  }
  SongsArguments songs;
  songs.out_folder = scanned->positionals[0];
  for (std::size_t i = 1; i < scanned->positionals.size(); i += 2) {
    songs.songs.push_back(
        {scanned->positionals[i], scanned->positionals[i + 1]});
  }
  songs.ffmpeg_path = scanned->has(ffmpeg_option)
                          ? scanned->options.at(ffmpeg_option.name)
                          : platform::native_from_ascii("ffmpeg");
  return songs;
}

ImportRequest parse_check(std::span<const NativeString> arguments) {
  const auto scanned = scan_options(arguments, {json_option});
  if (!scanned || scanned->positionals.empty() ||
      scanned->positionals.size() > 2) {
    return ShowUsage{};
  }
  CheckArguments check{scanned->positionals[0], std::nullopt,
                       scanned->has(json_option)};
  if (scanned->positionals.size() == 2)
    check.toc_path = scanned->positionals[1];
  return check;
}

}  // namespace

std::string import_version_line() { return version_line("glyphreel-import"); }

std::string import_help_text() {
  return help_text(import_usage_text, "glyphreel-import");
}

ImportRequest parse_import_arguments(std::span<const NativeString> argv) {
  if (argv.size() < 2) return ShowUsage{};
  const std::optional<std::string> command = platform::argument_text(argv[1]);
  const std::span<const NativeString> rest = argv.subspan(2);
  if (command == "--help" && rest.empty()) return ShowHelp{};
  if (command == "--version" && rest.empty()) return ShowVersion{};
  if (command == "cue") return parse_cue(rest);
  if (command == "clonecd") return parse_clonecd(rest);
  if (command == "songs") return parse_songs(rest);
  if (command == "check") return parse_check(rest);
  return ShowUsage{};
}

}  // namespace glyphreel
