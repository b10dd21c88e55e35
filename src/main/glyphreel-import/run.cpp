#include "main/glyphreel-import/run.hpp"

#include <new>
#include <type_traits>
#include <variant>

#include "base/fatal_error.hpp"
#include "disc/toc.hpp"
#include "import/report.hpp"
#include "main/glyphreel-import/progress.hpp"

namespace glyphreel {

namespace {

// The one reporting point: what the run made goes, then the reason.
int report_failure(const FatalError& error, ImportOutputs& outputs) {
  end_open_progress_line();
  outputs.remove_all();
  platform::write_standard_error(format_report("glyphreel-import", error));
  return exit_import_failure;
}

}  // namespace

std::uint64_t whole_units(std::uint64_t bytes, std::string_view name,
                          std::size_t unit, std::string_view word) {
  if (bytes % unit != 0) {
    throw FatalError(std::string(name) + " is not a whole number of " +
                     std::to_string(unit) + "-byte " + std::string(word) +
                     " (" + std::to_string(bytes) + " bytes)");
  }
  return bytes / unit;
}

void print_report(const DamageReport& report, bool json,
                  const std::optional<QReport>& q) {
  platform::write_standard_output(
      json ? report_json(report, q) : report_text(report, q), "write report");
}

void check_dump(const CheckArguments& arguments) {
  const std::string name = platform::display_path(arguments.cdg_path);
  std::vector<std::uint8_t> cooked =
      platform::read_whole_file(arguments.cdg_path, "read " + name);
  const std::uint64_t sectors =
      whole_units(cooked.size(), name, cdg_frame_size, "sectors");
  std::vector<TrackLbaRange> tracks;
  if (arguments.toc_path) {
    const std::string toc_name = platform::display_path(*arguments.toc_path);
    // A longer table of contents cannot pass its length check, so no more
    // of it is read, as glyphreel does.
    const platform::FileHead toc = platform::read_file_head(
        *arguments.toc_path, toc_read_limit, "read " + toc_name);
    tracks = parse_toc(toc.bytes, toc.length);
    if (tracks.empty()) {
      throw FatalError(toc_name + " lists no track, only the lead-out");
    }
    if (tracks.back().end_lba > sectors) {
      throw FatalError(name + " ends after " + std::to_string(sectors) +
                       " sectors, before the lead-out of " + toc_name +
                       " at sector " + std::to_string(tracks.back().end_lba));
    }
  }
  Progress progress = Progress::on_standard_error("checking the packs", 0);
  const DamageReport report =
      correct_packs(cooked, tracks, UncorrectablePacks::Keep);
  progress.update(sectors);
  progress.finish();
  print_report(report, arguments.json);
}

int run_import(std::span<const NativeString> argv) {
  const ImportRequest request = parse_import_arguments(argv);
  if (std::holds_alternative<ShowUsage>(request)) {
    platform::write_standard_error(import_usage_text);
    return exit_import_usage;
  }
  // Only the writing commands fill it; checks and help leave it empty.
  ImportOutputs outputs(std::visit(
      [](const auto& arguments) -> NativeString {
        if constexpr (requires { arguments.out_folder; }) {
          return arguments.out_folder;
        } else {
          return {};
        }
      },
      request));
  std::optional<std::string> wrong_usage;
  try {
    std::visit(
        [&](const auto& arguments) {
          using Arguments = std::decay_t<decltype(arguments)>;
          if constexpr (std::is_same_v<Arguments, ShowHelp>) {
            platform::write_standard_output(import_help_text(), "write help");
          } else if constexpr (std::is_same_v<Arguments, ShowVersion>) {
            platform::write_standard_output(import_version_line() + "\n",
                                            "write version");
          } else if constexpr (std::is_same_v<Arguments, CueArguments>) {
            wrong_usage = import_cue(arguments, outputs);
          } else if constexpr (std::is_same_v<Arguments, CdrdaoArguments>) {
            import_cdrdao(arguments, outputs);
          } else if constexpr (std::is_same_v<Arguments, CloneCdArguments>) {
            import_clonecd(arguments, outputs);
          } else if constexpr (std::is_same_v<Arguments, SongsArguments>) {
            import_songs(arguments, outputs);
          } else if constexpr (std::is_same_v<Arguments, CheckArguments>) {
            check_dump(arguments);
          }
        },
        request);
  } catch (const FatalError& error) {
    return report_failure(error, outputs);
  } catch (const std::bad_alloc&) {
    // Buffers of a disc's size that could not be had are freed by now.
    return report_failure(FatalError("out of memory"), outputs);
  }
  if (wrong_usage) {
    platform::write_standard_error("glyphreel-import: " + *wrong_usage + "\n" +
                                   std::string(import_usage_text));
    return exit_import_usage;
  }
  return exit_success;
}

}  // namespace glyphreel
