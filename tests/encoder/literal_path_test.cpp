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

TEST(LiteralPathArgument, OnlyPathsTheEncoderWouldMisreadChange) {
  struct Case {
    const char* path;
    const char* posix;
    const char* windows;
  };
  const Case cases[] = {
      // Standard input or output, and URLs of any scheme, even an empty one.
      {"-", "./-", ".\\-"},
      {"file:r.raw", "./file:r.raw", ".\\file:r.raw"},
      {"pipe:1", "./pipe:1", ".\\pipe:1"},
      {"a+b-c.9:x", "./a+b-c.9:x", ".\\a+b-c.9:x"},
      {"-:x", "./-:x", ".\\-:x"},
      {":x", "./:x", ".\\:x"},
      // A drive on Windows only; a digit is no drive.
      {"C:out.mp4", "./C:out.mp4", "C:out.mp4"},
      {"C:\\dir\\o.mp4", "./C:\\dir\\o.mp4", "C:\\dir\\o.mp4"},
      {"1:out.mp4", "./1:out.mp4", ".\\1:out.mp4"},
      // A backslash starts an absolute path on Windows only, and is no
      // scheme character on POSIX.
      {"\\abs\\file:x", "\\abs\\file:x", "\\abs\\file:x"},
      // Ordinary paths, absolute ones, and a first ':' after anything a
      // scheme cannot hold.
      {"out.raw", "out.raw", "out.raw"},
      {"--", "--", "--"},
      {"-.raw", "-.raw", "-.raw"},
      {"", "", ""},
      {"/abs/file:x", "/abs/file:x", "/abs/file:x"},
      {"dir/file:x", "dir/file:x", "dir/file:x"},
      {"my file:x", "my file:x", "my file:x"},
      {"caf\xc3\xa9:x", "caf\xc3\xa9:x", "caf\xc3\xa9:x"},
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
