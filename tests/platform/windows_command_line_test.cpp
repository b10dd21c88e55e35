#include "platform/windows_command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glyphreel::platform {
namespace {

// The way a Windows C runtime cuts its command line into argv, written from
// its documented rules: the program name runs to the next blank, or between
// quotes with backslashes literal; after it, blanks and tabs separate
// arguments outside quotes, a run of backslashes is literal unless a quote
// follows it, 2n backslashes and a quote give n backslashes and toggle
// quoting, 2n + 1 give n backslashes and a literal quote, and a doubled
// quote inside quotes is one literal quote.
std::vector<std::wstring> split_like_the_runtime(std::wstring_view line) {
  std::vector<std::wstring> argv;
  std::size_t i = 0;
  std::wstring program;
  if (i < line.size() && line[i] == L'"') {
    ++i;
    while (i < line.size() && line[i] != L'"') program += line[i++];
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && line[i] != L' ' && line[i] != L'\t') {
      program += line[i++];
    }
  }
  argv.push_back(program);

  for (;;) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i == line.size()) break;
    std::wstring argument;
    bool quoted = false;
    while (i < line.size()) {
      const wchar_t c = line[i];
      if (!quoted && (c == L' ' || c == L'\t')) break;
      if (c == L'\\') {
        std::size_t run = 0;
        while (i < line.size() && line[i] == L'\\') ++run, ++i;
        if (i < line.size() && line[i] == L'"') {
          argument.append(run / 2, L'\\');
          if (run % 2 == 1) {
            argument += L'"';
            ++i;
          }
        } else {
          argument.append(run, L'\\');
        }
        continue;
      }
      if (c == L'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          argument += L'"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      argument += c;
      ++i;
    }
    argv.push_back(argument);
  }
  return argv;
}

TEST(QuoteWindowsArgument, LeavesPlainArgumentsAlone) {
  EXPECT_EQ(quote_windows_argument(L"-f"), L"-f");
  EXPECT_EQ(quote_windows_argument(L"scale=624:432:flags=neighbor"),
            L"scale=624:432:flags=neighbor");
  // Backslashes with no quote after them are literal, even at the end of an
  // unquoted argument.
  EXPECT_EQ(quote_windows_argument(L"C:\\out\\"), L"C:\\out\\");
  EXPECT_EQ(quote_windows_argument(L"\\\\server\\share"), L"\\\\server\\share");
  EXPECT_EQ(quote_windows_argument(L"caf\u00e9\u65e5\u672c"),
            L"caf\u00e9\u65e5\u672c");
}

TEST(QuoteWindowsArgument, QuotesBlanksTabsLineBreaksAndEmptiness) {
  EXPECT_EQ(quote_windows_argument(L""), L"\"\"");
  EXPECT_EQ(quote_windows_argument(L"a b"), L"\"a b\"");
  EXPECT_EQ(quote_windows_argument(L" "), L"\" \"");
  EXPECT_EQ(quote_windows_argument(L"a\tb"), L"\"a\tb\"");
  EXPECT_EQ(quote_windows_argument(L"a\nb"), L"\"a\nb\"");
  EXPECT_EQ(quote_windows_argument(L"a\vb"), L"\"a\vb\"");
}

TEST(QuoteWindowsArgument, EscapesQuotesAndTheBackslashesBeforeThem) {
  EXPECT_EQ(quote_windows_argument(L"\""), L"\"\\\"\"");
  EXPECT_EQ(quote_windows_argument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
  // One backslash before a quote: it doubles, and one more escapes the quote.
  EXPECT_EQ(quote_windows_argument(L"a\\\"b"), L"\"a\\\\\\\"b\"");
  // Backslashes not before a quote stay single inside quotes too.
  EXPECT_EQ(quote_windows_argument(L"C:\\my dir\\f.raw"),
            L"\"C:\\my dir\\f.raw\"");
  // A trailing run stands before the closing quote and doubles.
  EXPECT_EQ(quote_windows_argument(L"C:\\my dir\\"), L"\"C:\\my dir\\\\\"");
  EXPECT_EQ(quote_windows_argument(L"a b\\\\"), L"\"a b\\\\\\\\\"");
}

TEST(WindowsCommandLine, QuotesTheProgramAndJoinsWithBlanks) {
  EXPECT_EQ(windows_command_line(L"ffmpeg", {}), L"\"ffmpeg\"");
  EXPECT_EQ(windows_command_line(L"C:\\Program Files\\ff\\ffmpeg.exe",
                                 {L"-i", L"-", L"", L"a b"}),
            L"\"C:\\Program Files\\ff\\ffmpeg.exe\" -i - \"\" \"a b\"");
  // The program's backslashes are literal: a trailing one is not doubled.
  EXPECT_EQ(windows_command_line(L"tools\\", {L"x"}), L"\"tools\\\" x");
}

TEST(WindowsCommandLine, TheRuntimeSplitsItBackIntoTheSameArguments) {
  const std::vector<std::wstring> arguments = {
      L"-f",
      L"",
      L" ",
      L"\t",
      L"plain",
      L"two words",
      L"\"",
      L"\"\"",
      L"\\",
      L"\\\\",
      L"\\\"",
      L"a\\\\\"b",
      L"ends in \\",
      L"ends in \\\\\\",
      L"\"quoted\" and \\\"escaped\\\"",
      L"C:\\raw dir\\out-tmp.raw",
      L"C:\\dir with blanks\\",
      L"\\\\server\\share\\",
      L"caf\u00e9 \u65e5\u672c.mp4",
      L"line\nbreak",
      L"back\\slash\\in\\middle",
  };
  const std::wstring program = L"C:\\Program Files\\enc\\ffmpeg.exe";
  const std::vector<std::wstring> argv =
      split_like_the_runtime(windows_command_line(program, arguments));
  ASSERT_EQ(argv.size(), arguments.size() + 1);
  EXPECT_EQ(argv[0], program);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    EXPECT_EQ(argv[i + 1], arguments[i]) << "argument " << i;
  }
}

TEST(WindowsCommandLine, EachArgumentAloneSurvivesTheSplit) {
  // Every argument made of up to four characters out of the troublesome
  // ones: blank, tab, quote, backslash and a letter.
  const std::wstring alphabet = L" \t\"\\a";
  std::vector<std::wstring> arguments = {L""};
  for (std::size_t length = 1; length <= 4; ++length) {
    std::vector<std::wstring> longer;
    for (const std::wstring& shorter : arguments) {
      if (shorter.size() + 1 != length) continue;
      for (const wchar_t c : alphabet) longer.push_back(shorter + c);
    }
    arguments.insert(arguments.end(), longer.begin(), longer.end());
  }
  ASSERT_EQ(arguments.size(), 1u + 5 + 25 + 125 + 625);
  for (const std::wstring& argument : arguments) {
    const std::vector<std::wstring> argv =
        split_like_the_runtime(windows_command_line(L"p", {argument, L"next"}));
    ASSERT_EQ(argv.size(), 3u);
    EXPECT_EQ(argv[1], argument);
    EXPECT_EQ(argv[2], L"next");
  }
}

}  // namespace
}  // namespace glyphreel::platform
