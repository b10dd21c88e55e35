// A path as the encoder must be given it to read or write that very file.
// The encoder takes "-" for its standard input or output, "name:rest" for a
// URL of protocol "name", and even "subfile,,start,0,end,0,,:other.wav" for
// a piece of another file, so a relative path given as it is may name
// something else than the file we checked, created or will delete. Pure
// functions, built and tested on every platform.
#pragma once

#include <string>
#include <string_view>

namespace glyphreel {

// Every relative path comes back behind "./": the same file, and one that
// the encoder can only read as a file, whatever its name holds. An absolute
// path (starting with '/') and the empty path come back unchanged. This is
// the POSIX form.
std::string literal_path_argument(std::string_view path);

// The same rule in the Windows form: ".\" goes in front of a relative path;
// a path starting with '\' or '/' is absolute, and one that starts with a
// drive letter and ':' ("C:out.mp4", "C:\dir\out.mp4") stays as it is: the
// encoder reads such a path as a file, never a protocol.
std::wstring literal_path_argument(std::wstring_view path);

}  // namespace glyphreel
