#include "main/glyphreel-library/status.hpp"

#include <span>
#include <string>

namespace glyphreel {

namespace {

std::span<const std::uint8_t> bytes_of(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

RunStatus::RunStatus(std::uint64_t total, bool terminal,
                     const std::optional<platform::NativeString>& results_path)
    : terminal_(terminal), started_(std::chrono::steady_clock::now()) {
  tally_.total = total;
  if (results_path) {
    results_step_ = "write " + platform::display_path(*results_path);
    results_ = platform::open_file_for_appending(*results_path, results_step_);
  }
}

void RunStatus::finished(const SongResult& result) {
  const std::lock_guard<std::mutex> lock(mutex_);
  tally_.count(result.status);
  if (results_.is_open() && !results_error_) {
    // One write a line: lines of workers that share the file stay whole.
    try {
      platform::append_to_file(results_, bytes_of(result_json(result)),
                               results_step_);
    } catch (const FatalError& error) {
      results_error_ = error;
    }
  }
  if (!terminal_) {
    platform::write_standard_error(finished_line(tally_, result));
    return;
  }
  if (result.status == SongStatus::Failed) {
    clear_line_locked();
    platform::write_standard_error(finished_line(tally_, result));
  }
  draw_locked();
}

void RunStatus::redraw() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (terminal_) draw_locked();
}

void RunStatus::warn(std::string_view text) {
  const std::lock_guard<std::mutex> lock(mutex_);
  clear_line_locked();
  platform::write_standard_error(
      "glyphreel-library: warning: " + std::string(text) + "\n");
  if (terminal_ && drawn_ == 0 && tally_.finished() > 0) draw_locked();
}

Tally RunStatus::finish() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (terminal_ && drawn_ > 0) {
    draw_locked();
    platform::write_standard_error("\n");
    drawn_ = 0;
  }
  if (results_.is_open()) {
    try {
      platform::close_file(results_, results_step_);
    } catch (const FatalError& error) {
      if (!results_error_) results_error_ = error;
    }
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_)
          .count();
  platform::write_standard_error(summary_line(tally_, elapsed));
  if (results_error_) throw FatalError(*results_error_);
  return tally_;
}

void RunStatus::draw_locked() {
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_)
          .count();
  std::string line = progress_line(tally_, elapsed);
  const std::size_t length = line.size();
  // Blanks over what a longer line before left.
  if (length < drawn_) line.append(drawn_ - length, ' ');
  platform::write_standard_error("\r" + line);
  drawn_ = length;
}

void RunStatus::clear_line_locked() {
  if (drawn_ == 0) return;
  // Blanks between two carriage returns.
  std::string blank(drawn_ + 2, ' ');
  blank.front() = '\r';
  blank.back() = '\r';
  platform::write_standard_error(blank);
  drawn_ = 0;
}

}  // namespace glyphreel
