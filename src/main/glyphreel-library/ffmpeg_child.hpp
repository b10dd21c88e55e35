// What glyphreel-library's ffmpeg children share: their messages go to a
// log file, whose last line says why a child failed, and an encoder is fed
// its input on a pipe until it ends.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.hpp"

namespace glyphreel {

using platform::NativeString;

// The last line ffmpeg wrote to its log, or "" when it wrote none or the
// log cannot be read.
std::string last_message(const NativeString& log_path);

// A FatalError "ffmpeg <what> (exit status 1): <its last message>".
[[noreturn]] void child_failed(std::string_view what,
                               const platform::ExitStatus& status,
                               const NativeString& log_path);

// Runs `feed`, which writes the child's input, then closes the input and
// waits for the child. A child that failed is a FatalError from
// child_failed("failed", ...), also when the feeding failed first (an
// encoder that stopped reading says why in its log); a failure of the
// feeding alone is passed on. The child has ended when this returns or
// throws.
void feed_child(platform::ChildProcess& child, const NativeString& log_path,
                const std::function<void()>& feed);

}  // namespace glyphreel
