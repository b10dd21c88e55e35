// The report of the fatal stop an action makes, so tests compare its text.
#pragma once

#include <string>

#include "base/fatal_error.hpp"

namespace glyphreel {

// The report of the FatalError the action throws, or "no fatal stop".
template <typename Action>
std::string report_of(Action&& action) {
  try {
    action();
  } catch (const FatalError& error) {
    return error.report();
  }
  return "no fatal stop";
}

}  // namespace glyphreel
