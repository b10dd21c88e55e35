#include "main/glyphreel-library/run.hpp"

#include <new>
#include <type_traits>
#include <variant>

#include "base/fatal_error.hpp"
#include "main/glyphreel-library/songs.hpp"
#include "main/glyphreel-library/videos.hpp"

namespace glyphreel {

int run_library(std::span<const NativeString> argv) {
  const LibraryRequest request = parse_library_arguments(argv);
  if (std::holds_alternative<ShowLibraryUsage>(request)) {
    platform::write_standard_error(library_usage_text);
    return exit_library_usage;
  }
  try {
    return std::visit(
        [](const auto& arguments) {
          using Arguments = std::decay_t<decltype(arguments)>;
          if constexpr (std::is_same_v<Arguments, ShowLibraryHelp>) {
            platform::write_standard_output(library_help_text(), "write help");
          } else if constexpr (std::is_same_v<Arguments, ShowLibraryVersion>) {
            platform::write_standard_output(library_version_line() + "\n",
                                            "write version");
          } else if constexpr (std::is_same_v<Arguments, VideosArguments>) {
            return run_videos(arguments);
          } else if constexpr (std::is_same_v<Arguments, DiscSongsArguments>) {
            return run_songs(arguments);
          }
          return exit_success;
        },
        request);
  } catch (const FatalError& error) {
    platform::write_standard_error(format_report("glyphreel-library", error));
    return exit_library_failure;
  } catch (const std::bad_alloc&) {
    platform::write_standard_error(
        format_report("glyphreel-library", FatalError("out of memory")));
    return exit_library_failure;
  }
}

}  // namespace glyphreel
