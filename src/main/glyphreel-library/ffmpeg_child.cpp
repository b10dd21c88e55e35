#include "main/glyphreel-library/ffmpeg_child.hpp"

#include <cstdint>
#include <vector>

#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

// No message of ffmpeg's is longer; a log that grows past it is read no
// further.
constexpr std::size_t log_read_limit = 1 << 20;

}  // namespace

std::string last_message(const NativeString& log_path) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = platform::read_file_head(log_path, log_read_limit, "").bytes;
  } catch (const FatalError&) {
    return {};
  }
  std::string text(bytes.begin(), bytes.end());
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  const std::size_t line_start = text.find_last_of("\r\n");
  return line_start == std::string::npos ? text : text.substr(line_start + 1);
}

void child_failed(std::string_view what, const platform::ExitStatus& status,
                  const NativeString& log_path) {
  const std::string message = last_message(log_path);
  throw FatalError("ffmpeg " + std::string(what) + " (" +
                   platform::describe(status) + ")" +
                   (message.empty() ? "" : ": " + message));
}

void feed_child(platform::ChildProcess& child, const NativeString& log_path,
                const std::function<void()>& feed) {
  try {
    feed();
  } catch (...) {
    platform::close_child_input(child);
    const platform::ExitStatus status =
        platform::wait_for_child(child, "wait on ffmpeg child");
    if (!status.success()) child_failed("failed", status, log_path);
    throw;
  }
  platform::close_child_input(child);
  const platform::ExitStatus status =
      platform::wait_for_child(child, "wait on ffmpeg child");
  if (!status.success()) child_failed("failed", status, log_path);
}

}  // namespace glyphreel
