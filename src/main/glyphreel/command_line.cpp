#include "main/glyphreel/command_line.hpp"

#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

constexpr std::size_t min_argument_count = 9;  // program name + 8 arguments

}  // namespace

std::uint64_t parse_track_number(const NativeString& argument,
                                 std::string_view which) {
  const std::optional<std::string> text = platform::argument_text(argument);
  if (!text) {
    throw FatalError(std::string(which) + " is not valid Unicode text");
  }
  const ParsedNumber parsed = parse_decimal_u64(*text);
  if (parsed.fault) {
    throw FatalError(
        std::string(which) + " " + quote_argument(*text) +
        " is not a track number: " + std::string(name(*parsed.fault)));
  }
  if (parsed.value == 0) {
    throw FatalError(std::string(which) +
                     " must be 1 or more, as tracks are counted from 1, "
                     "but is 0");
  }
  return parsed.value;
}

bool parse_mode(const NativeString& argument) {
  const std::optional<std::string> text = platform::argument_text(argument);
  if (!text) throw FatalError("bad unicode in mode");
  if (*text == "cdg") return false;
  if (*text == "cdeg") return true;
  throw FatalError("unknown mode " + quote_argument(*text) +
                   ", expected \"cdg\" or \"cdeg\"");
}

std::optional<RunArguments> parse_arguments(
    std::span<const NativeString> argv) {
  // 9 or 10 elements; counted as an unsigned difference so that fewer than
  // nine wraps round and fails too.
  if (argv.size() - min_argument_count >= 2) return std::nullopt;
  RunArguments arguments;
  arguments.img_path = argv[1];
  arguments.cdg_path = argv[2];
  arguments.toc_path = argv[3];
  arguments.raw_path = argv[4];
  arguments.ffmpeg_path = argv[5];
  arguments.mp4_path = argv[6];
  arguments.start_track = parse_track_number(argv[7], "start_track");
  arguments.end_track = parse_track_number(argv[8], "end_track");
  arguments.extended_graphics = argv.size() == 10 && parse_mode(argv[9]);
  return arguments;
}

}  // namespace glyphreel
