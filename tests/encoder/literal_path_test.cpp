#include "encoder/literal_path.hpp"

#include <gtest/gtest.h>

#include <string>

namespace glyphreel {
namespace {

// Byte by byte: ASCII stays itself, and each byte of a UTF-8 letter becomes
// a character above ASCII, which no scheme may hold either.
std::wstring wide(std::string_view bytes) {
  return std::wstring(bytes.begin(), bytes.end());
}

TEST(LiteralPathArgument, EveryRelativePathGoesBehindTheCurrentFolder) {
  struct Case {
    const char* path;
    const char* posix;
    const char* windows;
  };
  const Case cases[] = {
      // Standard input or output, URLs of any scheme, a piece of another
      // file: read as the files they name.
      {"-", "./-", ".\\-"},
      {"file:r.raw", "./file:r.raw", ".\\file:r.raw"},
      {":x", "./:x", ".\\:x"},
      {"subfile,,start,0,end,0,,:other.wav",
       "./subfile,,start,0,end,0,,:other.wav",
       ".\\subfile,,start,0,end,0,,:other.wav"},
      // Plain names and relative paths alike.
      {"out.raw", "./out.raw", ".\\out.raw"},
      {"--", "./--", ".\\--"},
      {"dir/file:x", "./dir/file:x", ".\\dir/file:x"},
      {"../a b.wav", "./../a b.wav", ".\\../a b.wav"},
      {"caf\xc3\xa9:x", "./caf\xc3\xa9:x", ".\\caf\xc3\xa9:x"},
      // A drive on Windows only; a digit is no drive.
      {"C:out.mp4", "./C:out.mp4", "C:out.mp4"},
      {"C:\\dir\\o.mp4", "./C:\\dir\\o.mp4", "C:\\dir\\o.mp4"},
      {"1:out.mp4", "./1:out.mp4", ".\\1:out.mp4"},
      // A backslash starts an absolute path on Windows only.
      {"\\abs\\file:x", "./\\abs\\file:x", "\\abs\\file:x"},
      // Absolute paths, and the empty path, stay.
      {"/abs/file:x", "/abs/file:x", "/abs/file:x"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(literal_path_argument(std::string_view(c.path)), c.posix)
        << c.path;
    EXPECT_EQ(literal_path_argument(std::wstring_view(wide(c.path))),
              wide(c.windows))
        << c.path;
  }
}

}  // namespace
}  // namespace glyphreel
