// What every fuzz target shares: a finding is written to standard error and
// ends the run with an abort, so that libFuzzer keeps the input that shows it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace fuzzing {

[[noreturn]] inline void finding(const char* what) {
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

inline void require(bool condition, const char* what) {
  if (!condition) finding(what);
}

// Runs one input; an exception that escapes the code under test is a
// finding too.
template <typename Case>
int run_case(Case&& fuzz_case) {
  try {
    fuzz_case();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "finding: unexpected exception: %s\n", error.what());
    std::abort();
  }
  return 0;
}

}  // namespace fuzzing
