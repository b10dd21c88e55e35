#include "encoder/literal_path.hpp"

#include <gtest/gtest.h>

#include <string>

namespace glyphreel {
namespace {

// ASCII only, so widening byte by byte gives the same path in UTF-16.
std::wstring wide(std::string_view ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

struct Case {
  const char* path;
  const char* posix;    // the POSIX argument
  const char* windows;  // the Windows argument, '/' standing for '\'
};

TEST(LiteralPathArgument, OnlyPathsTheEncoderWouldMisreadChange) {
  const Case cases[] = {
      // Standard input or output, and URLs of any scheme, even an empty one.
      {"-", "./-", "./-"},
      {"file:r.raw", "./file:r.raw", "./file:r.raw"},
      {"pipe:1", "./pipe:1", "./pipe:1"},
      {"a+b-c.9:x", "./a+b-c.9:x", "./a+b-c.9:x"},
      {"-:x", "./-:x", "./-:x"},
      {":x", "./:x", "./:x"},
      // A drive on Windows only; a digit is no drive.
      {"C:out.mp4", "./C:out.mp4", "C:out.mp4"},
      {"1:out.mp4", "./1:out.mp4", "./1:out.mp4"},
      // Ordinary paths, absolute ones, and a first ':' after anything a
      // scheme cannot hold.
      {"out.raw", "out.raw", "out.raw"},
      {"--", "--", "--"},
      {"-.raw", "-.raw", "-.raw"},
      {"", "", ""},
      {"/abs/file:x", "/abs/file:x", "/abs/file:x"},
      {"dir/file:x", "dir/file:x", "dir/file:x"},
      {"my file:x", "my file:x", "my file:x"},
      {"caf\xc3\xa9:x", "caf\xc3\xa9:x", nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(literal_path_argument(std::string_view(c.path)), c.posix)
        << c.path;
    if (c.windows == nullptr) continue;
    std::wstring expected = wide(c.windows);
    if (expected.starts_with(L"./")) expected[1] = L'\\';
    EXPECT_EQ(literal_path_argument(std::wstring_view(wide(c.path))), expected)
        << c.path;
  }
}

TEST(LiteralPathArgument, BackslashesAreSeparatorsOnWindowsOnly) {
  EXPECT_EQ(literal_path_argument(std::wstring_view(L"\\abs\\file:x")),
            L"\\abs\\file:x");
  EXPECT_EQ(literal_path_argument(std::wstring_view(L"C:\\dir\\out.mp4")),
            L"C:\\dir\\out.mp4");
  EXPECT_EQ(literal_path_argument(std::wstring_view(L"\u00e9:x")), L"\u00e9:x");
  // On POSIX a backslash is part of the name, and no scheme character.
  EXPECT_EQ(literal_path_argument(std::string_view("\\abs\\file:x")),
            "\\abs\\file:x");
}

}  // namespace
}  // namespace glyphreel
