// The command line of glyphreel-import: a command word, its positional
// arguments and its options, parsed without touching any file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/platform.hpp"
#include "subchannel/damage.hpp"
#include "subchannel/deinterleave.hpp"

namespace glyphreel {

using platform::NativeString;

inline constexpr int exit_import_failure = 1;
inline constexpr int exit_import_usage = 2;

inline constexpr std::string_view import_usage_text =
    "usage: glyphreel-import cue SHEET.cue [SUBCHANNEL] OUTDIR "
    "[--form interleaved|packed|cooked] [--sub-start LBA|auto] "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import cdrdao DISC.toc OUTDIR "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import clonecd IMAGE.ccd OUTDIR "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import songs OUTDIR SONG.cdg AUDIO "
    "[SONG.cdg AUDIO ...] [--ffmpeg PATH]\n"
    "       glyphreel-import check SHEET.cue [SUBCHANNEL] "
    "[--form interleaved|packed|cooked] [--sub-start LBA|auto] [--json]\n"
    "       glyphreel-import check DISC.toc|IMAGE.ccd [--json]\n"
    "       glyphreel-import check DISC.cdg [DISC.toc] [--json]\n";

// "glyphreel-import 0.2.0", the line --version prints.
std::string import_version_line();

// The usage, then the version and the licence: what --help prints.
std::string import_help_text();

// Where the subchannel's first record lies, in sectors of the image's
// files: as its Q says (Auto), a number given, or neither said (Default:
// as its Q says where it says so clearly, else 0).
struct SubStart {
  enum class Kind : std::uint8_t { Default, Auto, Given };
  Kind kind = Kind::Default;
  std::int64_t sector = 0;  // when Given
  bool operator==(const SubStart&) const = default;
};

// What every rip command shares: what to write for uncorrectable packs,
// the report's form, and whether the run only checks (OUTDIR is then
// empty, and nothing is written).
struct RipOptions {
  UncorrectablePacks uncorrectable = UncorrectablePacks::Keep;
  bool json = false;
  bool check = false;
};

struct CueArguments {
  NativeString sheet_path;
  // None for a sheet of CDG tracks, whose sectors carry their subchannel.
  std::optional<NativeString> subchannel_path{};
  NativeString out_folder{};
  SubchannelForm form = SubchannelForm::Interleaved;
  SubStart sub_start;
  RipOptions options;
};

struct CdrdaoArguments {
  NativeString toc_path;
  NativeString out_folder;
  RipOptions options;
};

struct CloneCdArguments {
  NativeString ccd_path;
  NativeString out_folder;
  RipOptions options;
};

struct SongPair {
  NativeString graphics_path;  // the .cdg file
  NativeString audio_path;
};

struct SongsArguments {
  NativeString out_folder;
  std::vector<SongPair> songs;  // at least one
  NativeString ffmpeg_path;     // "ffmpeg" unless given
};

struct CheckArguments {
  NativeString cdg_path;
  std::optional<NativeString> toc_path;
  bool json = false;
};

// A command line that is wrong: the usage text, exit status 2.
struct ShowUsage {};
struct ShowHelp {};
struct ShowVersion {};

using ImportRequest =
    std::variant<ShowUsage, ShowHelp, ShowVersion, CueArguments,
                 CdrdaoArguments, CloneCdArguments, SongsArguments,
                 CheckArguments>;

// The argument vector, program name first. Options may stand anywhere after
// the command word, before, between or after the positional arguments; an
// argument that begins with "--" is always taken as an option. Each option
// may be given once. --help and --version stand alone. `check` takes a rip
// by its first argument's extension (.cue, .toc, .ccd, whatever the case)
// and then reads it as the importing command does, with check set; any
// other first argument is a cooked dump.
ImportRequest parse_import_arguments(std::span<const NativeString> argv);

}  // namespace glyphreel
