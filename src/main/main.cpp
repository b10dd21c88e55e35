#include "main/fatal_error.hpp"
#include "platform/platform.hpp"

int main(int argc, char** argv) {
  glyphreel::platform::prepare_process();
  (void)glyphreel::platform::native_arguments(argc, argv);
  return glyphreel::exit_success;
}
