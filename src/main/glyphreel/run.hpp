// One invocation from the argument vector to the exit status.
#pragma once

#include <span>

#include "main/glyphreel/command_line.hpp"

namespace glyphreel {

// Parses the arguments and runs the conversion. Prints the usage text and
// returns 0 on a wrong argument count; reports a fatal stop on standard
// error and returns 101.
int run_program(std::span<const NativeString> argv);

// The run after parsing, in its fixed order: load and check the inputs,
// refuse to overwrite, write the raw audio, start the encoder, decode the
// subcode span into it, finish the encoder. Throws FatalError.
void run_conversion(const RunArguments& arguments);

}  // namespace glyphreel
