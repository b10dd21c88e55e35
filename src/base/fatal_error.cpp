#include "base/fatal_error.hpp"

#include <utility>

namespace glyphreel {

FatalError::FatalError(std::string message) : report_(std::move(message)) {}

FatalError FatalError::system(std::string_view step, const OsError& error) {
  return FatalError(std::string(step) + ": " + describe(error));
}

FatalError FatalError::equality(std::string_view what, std::uint64_t left,
                                std::uint64_t right) {
  return FatalError(std::string(what) + "\n  left: " + std::to_string(left) +
                    "\n right: " + std::to_string(right));
}

std::string describe(const OsError& error) {
  return error.description + " (os error " + std::to_string(error.code) + ")";
}

std::string format_report(std::string_view program, const FatalError& error) {
  return std::string(program) + ": " + error.report() + "\n";
}

}  // namespace glyphreel
