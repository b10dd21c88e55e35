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
    "usage: glyphreel-import cue SHEET.cue SUBCHANNEL OUTDIR "
    "[--form interleaved|packed|cooked] [--sub-start LBA] "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import clonecd IMAGE.ccd OUTDIR "
    "[--uncorrectable keep|blank] [--json]\n"
    "       glyphreel-import songs OUTDIR SONG.cdg AUDIO "
    "[SONG.cdg AUDIO ...] [--ffmpeg PATH]\n"
    "       glyphreel-import check DISC.cdg [DISC.toc] [--json]\n";

// "glyphreel-import 0.2.0", the line --version prints.
std::string import_version_line();

// The usage, then the version and the licence: what --help prints.
std::string import_help_text();

struct CueArguments {
  NativeString sheet_path;
  NativeString subchannel_path;
  NativeString out_folder;
  SubchannelForm form = SubchannelForm::Interleaved;
  std::int64_t sub_start = 0;  // image sector of the first record
  UncorrectablePacks uncorrectable = UncorrectablePacks::Keep;
  bool json = false;
};

struct CloneCdArguments {
  NativeString ccd_path;
  NativeString out_folder;
  UncorrectablePacks uncorrectable = UncorrectablePacks::Keep;
  bool json = false;
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
                 CloneCdArguments, SongsArguments, CheckArguments>;

// The argument vector, program name first. Options may stand anywhere after
// the command word, before, between or after the positional arguments; an
// argument that begins with "--" is always taken as an option. Each option
// may be given once. --help and --version stand alone.
ImportRequest parse_import_arguments(std::span<const NativeString> argv);

}  // namespace glyphreel
