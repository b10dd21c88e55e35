// The command line: six native paths, the track range and the mode.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/text.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

using platform::NativeString;

inline constexpr std::string_view usage_text =
    "usage: glyphreel disc.img disc.cdg disc.toc out-tmp.raw ffmpeg.exe "
    "out.mp4 start_track end_track mode\n";

struct RunArguments {
  NativeString img_path;
  NativeString cdg_path;
  NativeString toc_path;
  NativeString raw_path;
  NativeString ffmpeg_path;
  NativeString mp4_path;
  std::uint64_t start_track = 1;
  std::uint64_t end_track = 1;
  bool extended_graphics = false;  // mode "cdeg"
};

// The argument vector, program name first. Nothing when the argument count
// is wrong: the caller prints the usage text and ends with status 0. Bad
// track numbers and modes are fatal stops, checked in argument order.
std::optional<RunArguments> parse_arguments(std::span<const NativeString> argv);

// A track number argument (`which` is "start_track" or "end_track"): valid
// Unicode, a decimal number, at least 1. Anything else is a fatal stop.
std::uint64_t parse_track_number(const NativeString& argument,
                                 std::string_view which);

// The mode argument: "cdg" gives false, "cdeg" true, compared byte for byte.
bool parse_mode(const NativeString& argument);

}  // namespace glyphreel
