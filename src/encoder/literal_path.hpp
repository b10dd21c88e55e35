// A path as the encoder must be given it to read or write that very file.
// The encoder takes "-" for its standard input or output and "name:rest" for
// a URL of protocol "name", so such a path, given as it is, names something
// else than the file we checked, created or will delete. Pure functions,
// built and tested on every platform.
#pragma once

#include <string>
#include <string_view>

namespace glyphreel {

// A relative path that is "-", or whose first ':' follows only characters
// that a URL scheme may hold (ASCII letters, digits, '+', '-', '.'), comes
// back behind "./": the same file, read literally. Every other path comes
// back unchanged. This is the POSIX form: a path is absolute when it starts
// with '/'.
std::string literal_path_argument(std::string_view path);

// The same rule in the Windows form: ".\" goes in front; a path starting
// with '\' or '/' is absolute; a single letter before the ':' is a drive
// ("C:out.mp4"), never a protocol.
std::wstring literal_path_argument(std::wstring_view path);

}  // namespace glyphreel
