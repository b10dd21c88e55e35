// One run of glyphreel-import, and the run sequence of each command.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "import/report.hpp"
#include "main/glyphreel-import/command_line.hpp"
#include "main/glyphreel-import/outputs.hpp"
#include "main/input_files.hpp"
#include "subchannel/damage.hpp"

namespace glyphreel {

// Parses the arguments and runs the command. A wrong command line prints
// the usage to standard error and returns 2. A failure removes what the run
// created, reports "glyphreel-import: <reason>" on standard error and
// returns 1. Success returns 0, uncorrectable packs or not.
int run_import(std::span<const NativeString> argv);

// The commands. Each checks all of its inputs before it writes the first
// byte; each failure is a FatalError, and every file and folder created is
// in `outputs` for the clean-up. A rip command with options.check set
// writes nothing and prints the report it would have.
//
// import_cue returns why the command line does not fit the sheet, which
// is then a usage error: a SUBCHANNEL file given for CDG tracks, whose
// sectors carry theirs, or none given for other tracks.
std::optional<std::string> import_cue(const CueArguments& arguments,
                                      ImportOutputs& outputs);
void import_cdrdao(const CdrdaoArguments& arguments, ImportOutputs& outputs);
void import_clonecd(const CloneCdArguments& arguments, ImportOutputs& outputs);
void import_songs(const SongsArguments& arguments, ImportOutputs& outputs);
void check_dump(const CheckArguments& arguments);

// --- Steps the commands share.

// The report, as a table or as JSON, on standard output; with what the Q
// subchannel said for a rip.
void print_report(const DamageReport& report, bool json,
                  const std::optional<QReport>& q = std::nullopt);

// How many whole `unit`-byte sectors or records (`word`) a file of `bytes`
// holds; a length with a partial one left over is refused, naming the file.
std::uint64_t whole_units(std::uint64_t bytes, std::string_view name,
                          std::size_t unit, std::string_view word);

// Bytes that move between files in one piece: 1792 sectors, about 4 MiB.
inline constexpr std::size_t copy_chunk_size = 1792 * 2352;

}  // namespace glyphreel
