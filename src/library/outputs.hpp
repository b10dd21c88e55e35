// Where a song's video goes, and the temporaries written beside it while it
// is made. Pure: names in, names out.
//
// A video is written as ".<stem>.<host>.<process>-<run>.glyphreel-video" in
// the folder of its output, where <stem> is the video's file name (cut and
// marked with its hash when long), and renamed to "<name>.mp4" only when the
// encoder succeeded; its encoder's messages go to ".glyphreel-log" and a
// zip's audio to ".glyphreel-audio.<extension>" of the same stem. The host,
// the process and a number drawn afresh by each run say whose they are: no
// two runs ever write the same temporary, even where two hosts share a name
// or two processes an id. A run removes only those of its own host whose
// process has ended or that have not changed for an hour, so workers on
// other machines that share the output folder never lose a file they are
// writing; a song whose temporary another worker is writing is left to that
// worker.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "library/song_scan.hpp"

namespace glyphreel {

inline constexpr std::string_view video_extension = ".mp4";

// DIR/<output stem>.mp4.
NativeString output_path(const NativeString& out_folder, const Song& song);

// The last part of a path, after its last separator.
NativeString file_name_part(const NativeString& path);

enum class TemporaryKind : std::uint8_t { Video, Log, Audio };

// Who writes a temporary: the host's label, the process and the run's own
// random number.
struct TemporaryOwner {
  std::string host;
  std::uint64_t process = 0;
  std::uint32_t run = 0;
  bool operator==(const TemporaryOwner&) const = default;
};

// A host name as a temporary's name holds it: its first label (up to the
// first dot), with every character but ASCII letters, digits and '-' made
// '-', at most 63 of them; "host" when nothing is left.
std::string host_label(std::string_view host_name);

// The longest video name that a temporary's name holds as it is, in
// native units: with the longest tail (".<63-character host>.<20-digit
// process>-<run>.glyphreel-audio.<extension>") the name stays well within
// the 255 that file systems allow.
inline constexpr std::size_t longest_temporary_stem = 120;

// The part of a temporary's name that says whose video it is: the video's
// file name, or when longer than longest_temporary_stem its start (whole
// characters) marked with "~" and the 64-bit hash of the whole name in hex.
NativeString temporary_stem(const NativeString& video_name);

// The temporary's file name, in the folder of the video named
// `video_name` ("<name>.mp4"). `audio_extension` is the zip member's (for
// Audio only).
NativeString temporary_name(const NativeString& video_name,
                            const TemporaryOwner& owner, TemporaryKind kind,
                            std::string_view audio_extension = {});

// A folder entry read back as one of the temporaries above: the stem of the
// video it belongs to and its owner. Nothing for every other name.
struct ParsedTemporary {
  NativeString video_stem;
  TemporaryOwner owner;
};
std::optional<ParsedTemporary> parse_temporary(const NativeString& name);

// A temporary that has not changed for this long belongs to a worker that
// stopped: an encoder writes its video as it goes.
inline constexpr std::uint64_t abandoned_after_seconds = 60 * 60;

// Whether a temporary, not of this run, is left from a run that has ended:
// ours to remove. Only one of this host (`host`, a host_label) whose process
// is not `running` or that has not changed for abandoned_after_seconds (its
// process id may have passed to another program, or to this run).
bool is_stale_temporary(const TemporaryOwner& temporary, std::string_view host,
                        const std::function<bool(std::uint64_t)>& running,
                        std::uint64_t seconds_unchanged);

// Whether a temporary, not of this run, stands for a song that another
// worker is converting now: one that changed within abandoned_after_seconds,
// unless it is of this host and its process has ended.
bool temporary_in_use(const TemporaryOwner& temporary, std::string_view host,
                      const std::function<bool(std::uint64_t)>& running,
                      std::uint64_t seconds_unchanged);

}  // namespace glyphreel
