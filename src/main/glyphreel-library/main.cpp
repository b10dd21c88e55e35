// The glyphreel-library executable: everything but this lives in
// glyphreel_core.
#include "main/glyphreel-library/run.hpp"
#include "platform/platform.hpp"

int main(int argc, char** argv) {
  glyphreel::platform::prepare_process();
  const auto arguments = glyphreel::platform::native_arguments(argc, argv);
  return glyphreel::run_library(arguments);
}
