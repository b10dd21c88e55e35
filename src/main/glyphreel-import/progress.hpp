// A progress line on standard error for work that takes more than a moment.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace glyphreel {

// Jobs up to this many sectors (about four and a half minutes of disc) pass
// in a moment and show nothing, so short runs keep standard error quiet.
inline constexpr std::uint64_t progress_threshold_sectors = 20000;

// One stage of a run, such as copying the image, counted in sectors. Once
// past the threshold it shows a line "glyphreel-import: <stage>: ...": on a
// terminal redrawn in place as the work goes on, elsewhere written once when
// the stage finishes.
class Progress {
 public:
  using Writer = std::function<void(std::string_view)>;

  // `total` is 0 when the amount of work is not known in advance.
  Progress(std::string stage, std::uint64_t total, bool terminal, Writer write);

  // On standard error, redrawn when it is a terminal.
  static Progress on_standard_error(std::string stage, std::uint64_t total);

  // `done` sectors of the stage are done, counted from its start.
  void update(std::uint64_t done);

  // The stage is over: the line is ended (or written, off a terminal).
  void finish();

 private:
  std::string line() const;

  std::string stage_;
  std::uint64_t total_;
  bool terminal_;
  Writer write_;
  std::uint64_t done_ = 0;
  std::string shown_;  // the line drawn last on a terminal
};

// Ends a progress line that a stage left open on a terminal when it
// stopped, so that a warning or the report of a failure starts on a line of
// its own.
void end_open_progress_line();

}  // namespace glyphreel
