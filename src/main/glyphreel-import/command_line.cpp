#include "main/glyphreel-import/command_line.hpp"

#include <limits>
#include <type_traits>

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

std::optional<RipOptions> rip_options(const ScannedOptions& scanned,
                                      bool check) {
  const auto uncorrectable = uncorrectable_value(scanned);
  if (!uncorrectable) return std::nullopt;
  return RipOptions{*uncorrectable, scanned.has(json_option), check};
}

// --sub-start: a signed number of sectors, or auto.
std::optional<SubStart> sub_start_value(const ScannedOptions& scanned) {
  if (!scanned.has(sub_start_option)) return SubStart{};
  const std::optional<std::string> text = scanned.text(sub_start_option);
  if (text == "auto") return SubStart{SubStart::Kind::Auto};
  const std::optional<std::int64_t> sector =
      text ? parse_signed(*text) : std::nullopt;
  if (!sector) return std::nullopt;
  return SubStart{SubStart::Kind::Given, *sector};
}

// SHEET.cue [SUBCHANNEL] OUTDIR, or SHEET.cue [SUBCHANNEL] for a check.
ImportRequest parse_cue(std::span<const NativeString> arguments, bool check) {
  const auto scanned =
      check ? scan_options(arguments,
                           {form_option, sub_start_option, json_option})
            : scan_options(arguments, {form_option, sub_start_option,
                                       uncorrectable_option, json_option});
  const std::size_t outputs = check ? 0 : 1;
  if (!scanned || scanned->positionals.size() < 1 + outputs ||
      scanned->positionals.size() > 2 + outputs) {
    return ShowUsage{};
  }
  const auto form =
      word_value(*scanned, form_option, SubchannelForm::Interleaved,
                 {{"interleaved", SubchannelForm::Interleaved},
                  {"packed", SubchannelForm::Packed},
                  {"cooked", SubchannelForm::Cooked}});
  const auto options = rip_options(*scanned, check);
  const auto sub_start = sub_start_value(*scanned);
  if (!form || !options || !sub_start) return ShowUsage{};
  const auto& positionals = scanned->positionals;
  CueArguments cue{.sheet_path = positionals[0],
                   .form = *form,
                   .sub_start = *sub_start,
                   .options = *options};
  if (positionals.size() == 2 + outputs) cue.subchannel_path = positionals[1];
  if (!check) cue.out_folder = positionals.back();
  return cue;
}

// FILE OUTDIR, or FILE alone for a check: a cdrdao TOC file or a CloneCD
// control file.
template <typename Arguments>
ImportRequest parse_rip(std::span<const NativeString> arguments, bool check) {
  const auto scanned =
      check ? scan_options(arguments, {json_option})
            : scan_options(arguments, {uncorrectable_option, json_option});
  if (!scanned || scanned->positionals.size() != (check ? 1u : 2u)) {
    return ShowUsage{};
  }
  const auto options = rip_options(*scanned, check);
  if (!options) return ShowUsage{};
  return Arguments{scanned->positionals[0],
                   check ? NativeString{} : scanned->positionals[1], *options};
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

// The extension of the first positional argument, in lower case; empty
// when it has none, or when the options cannot be told apart from it.
std::string first_extension(std::span<const NativeString> arguments) {
  const auto scanned = scan_options(
      arguments, {form_option, sub_start_option, uncorrectable_option,
                  json_option, ffmpeg_option});
  if (!scanned || scanned->positionals.empty()) return "";
  const NativeString& first = scanned->positionals.front();
  const std::size_t dot = first.find_last_of('.');
  if (dot == NativeString::npos) return "";
  std::string extension;
  for (std::size_t i = dot; i < first.size(); ++i) {
    const auto c =
        static_cast<std::make_unsigned_t<platform::NativeChar>>(first[i]);
    if (c > 0x7F) return "";
    extension += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return extension;
}

ImportRequest parse_check(std::span<const NativeString> arguments) {
  const std::string extension = first_extension(arguments);
  if (extension == ".cue") return parse_cue(arguments, true);
  if (extension == ".toc") return parse_rip<CdrdaoArguments>(arguments, true);
  if (extension == ".ccd") return parse_rip<CloneCdArguments>(arguments, true);
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
  if (command == "cue") return parse_cue(rest, false);
  if (command == "cdrdao") return parse_rip<CdrdaoArguments>(rest, false);
  if (command == "clonecd") return parse_rip<CloneCdArguments>(rest, false);
  if (command == "songs") return parse_songs(rest);
  if (command == "check") return parse_check(rest);
  return ShowUsage{};
}

}  // namespace glyphreel
