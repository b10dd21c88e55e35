// The one way the program fails: a fatal stop that carries its report text up
// to the entry point, which writes it to standard error and exits with 101.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace glyphreel {

inline constexpr int exit_success = 0;
inline constexpr int exit_fatal = 101;

// An operating-system error, converted once at the platform boundary.
struct OsError {
  int code = 0;              // errno on POSIX, GetLastError() on Windows
  std::string description;   // the system's own text, without the code
  bool broken_pipe = false;  // the reader of a pipe has gone away
};

class FatalError : public std::exception {
 public:
  // A check of the program's own with a fixed text, such as
  // "refusing to overwrite existing mp4 output".
  explicit FatalError(std::string message);

  // A failed step with a system error underneath:
  // "read img file: No such file or directory (os error 2)".
  static FatalError system(std::string_view step, const OsError& error);

  // A failed equality check: the first line says what was compared, the two
  // values follow on their own lines labelled left and right.
  static FatalError equality(std::string_view what, std::uint64_t left,
                             std::uint64_t right);

  // The report without the program-name prefix; may span several lines.
  const std::string& report() const { return report_; }
  const char* what() const noexcept override { return report_.c_str(); }

 private:
  std::string report_;
};

// "No such file or directory (os error 2)".
std::string describe(const OsError& error);

// The full text written to standard error for a fatal stop, ending in a line
// feed: the program's name, ": ", the report.
std::string format_report(std::string_view program, const FatalError& error);

}  // namespace glyphreel
