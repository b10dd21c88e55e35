// The command line of glyphreel-library: a command word, its positional
// arguments and its options, parsed without touching any file.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "library/disc_songs.hpp"
#include "library/plan.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

using platform::NativeString;

inline constexpr int exit_library_failure = 1;
inline constexpr int exit_library_usage = 2;

inline constexpr std::string_view library_usage_text =
    "usage: glyphreel-library videos SOURCE... --out DIR [-j N] [--scale N] "
    "[--pad 16:9] [--shard K/N] [--results FILE] [--list] [--ffmpeg PATH]\n"
    "       glyphreel-library songs DISC_DIR OUTDIR [--audio mp3|flac|wav] "
    "[--folders] [--names SHEET] [--tracks FIRST-LAST] [--ffmpeg PATH]\n";

// The most songs converted at once that -j takes.
inline constexpr unsigned largest_job_count = 256;

// "glyphreel-library 0.2.0", the line --version prints.
std::string library_version_line();

// The usage, then the version and the licence: what --help prints.
std::string library_help_text();

struct VideosArguments {
  std::vector<NativeString> sources;  // at least one
  NativeString out_folder;
  unsigned jobs = 0;  // 0: the default of library_settings.hpp
  unsigned scale = 2;
  bool pad_16_9 = false;
  Shard shard;
  std::optional<NativeString> results_path;
  bool list = false;
  NativeString ffmpeg_path;  // "ffmpeg" unless given
};

struct DiscSongsArguments {
  NativeString disc_folder;  // holds disc.img, disc.cdg and disc.toc
  NativeString out_folder;
  SongAudio audio = SongAudio::Mp3;
  bool folders = false;  // the two files side by side rather than a zip
  std::optional<NativeString> names_path;  // a cue sheet or cdrdao TOC file
  std::optional<TrackRange> tracks;        // every track unless given
  NativeString ffmpeg_path;                // "ffmpeg" unless given
};

// A command line that is wrong: the usage text, exit status 2.
struct ShowLibraryUsage {};
struct ShowLibraryHelp {};
struct ShowLibraryVersion {};

using LibraryRequest =
    std::variant<ShowLibraryUsage, ShowLibraryHelp, ShowLibraryVersion,
                 VideosArguments, DiscSongsArguments>;

// The argument vector, program name first. Options may stand anywhere after
// the command word, each at most once; an argument that begins with "--",
// and "-j" with or without its number joined, is an option. --help and
// --version stand alone.
LibraryRequest parse_library_arguments(std::span<const NativeString> argv);

}  // namespace glyphreel
