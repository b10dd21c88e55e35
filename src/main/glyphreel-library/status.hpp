// What a library run shows while it works, from any of its threads: the
// progress on standard error (one line redrawn on a terminal, a line per
// song elsewhere) and the results file, one JSON line per song.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>

#include "base/fatal_error.hpp"
#include "library/report.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

class RunStatus {
 public:
  // Opens the results file for appending when one is given.
  RunStatus(std::uint64_t total, bool terminal,
            const std::optional<platform::NativeString>& results_path);

  // Counts the song, appends its JSON line and shows it: a line of its own
  // off a terminal, and on a terminal for a failure, above the redrawn
  // progress line.
  void finished(const SongResult& result);

  // Redraws the progress line on a terminal, for the time that passes.
  void redraw();

  // A warning on a line of its own.
  void warn(std::string_view text);

  // Ends the progress line, closes the results file and writes the
  // summary. Returns the counts. A results file that could not be written
  // (its first failure stopped the writing) is a FatalError here.
  Tally finish();

 private:
  void draw_locked();
  void clear_line_locked();

  std::mutex mutex_;
  Tally tally_;
  bool terminal_;
  std::chrono::steady_clock::time_point started_;
  platform::OpenFile results_;
  std::string results_step_;
  std::optional<FatalError> results_error_;
  std::size_t drawn_ = 0;  // characters of the progress line on screen
};

}  // namespace glyphreel
