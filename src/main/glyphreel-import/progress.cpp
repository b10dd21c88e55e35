#include "main/glyphreel-import/progress.hpp"

#include <utility>

#include "platform/platform.hpp"

namespace glyphreel {

namespace {

// Standard error is one for the whole process: whether a redrawn line on it
// still waits for its line feed.
bool line_open = false;

}  // namespace

void end_open_progress_line() {
  if (!line_open) return;
  platform::write_standard_error("\n");
  line_open = false;
}

Progress::Progress(std::string stage, std::uint64_t total, bool terminal,
                   Writer write)
    : stage_(std::move(stage)),
      total_(total),
      terminal_(terminal),
      write_(std::move(write)) {}

Progress Progress::on_standard_error(std::string stage, std::uint64_t total) {
  return Progress(std::move(stage), total,
                  platform::standard_error_is_terminal(),
                  platform::write_standard_error);
}

std::string Progress::line() const {
  std::string text = "glyphreel-import: " + stage_ + ": ";
  if (total_ != 0 && terminal_) {
    text += std::to_string(done_ * 100 / total_) + " %";
  } else {
    text += std::to_string(done_) + " sectors";
  }
  return text;
}

void Progress::update(std::uint64_t done) {
  done_ = done;
  if (!terminal_ || done_ <= progress_threshold_sectors) return;
  // Redrawn only when the text changes: a percentage moves seldom.
  std::string text = line();
  if (text == shown_) return;
  write_("\r" + text);
  line_open = true;
  shown_ = std::move(text);
}

void Progress::finish() {
  if (done_ <= progress_threshold_sectors) return;
  if (terminal_) {
    update(done_);
    write_("\n");
    line_open = false;
  } else {
    write_(line() + "\n");
  }
}

}  // namespace glyphreel
