// The Win32 platform layer against the real system: files in a scratch
// folder, and fake_encoder.exe as the child process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "fatal_report.hpp"
#include "platform/platform.hpp"

namespace glyphreel::platform {
namespace {

namespace fs = std::filesystem;

// Every failure report of a system error ends in the code; Windows' own
// full stop and line break are gone.
bool ends_with_os_error(const std::string& report, int code) {
  return std::regex_search(report, std::regex("[^.\\s] \\(os error " +
                                              std::to_string(code) + "\\)$"));
}

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void set_variable(const std::wstring& name, const std::wstring& value) {
  // An empty value removes the variable.
  ASSERT_EQ(_wputenv((name + L"=" + value).c_str()), 0);
}

// A fresh folder per test, removed afterwards; the fake encoder's settings
// are cleared so each test sets only what it means.
class Win32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              (L"glyphreel-win32-test-" +
               std::to_wstring(std::random_device{}()) + L" \u00e9\u65e5");
    fs::create_directories(folder_);
    set_variable(L"FAKE_ENCODER_DIR", folder_.wstring());
    set_variable(L"FAKE_ENCODER_EXIT_EARLY", L"");
    set_variable(L"FAKE_ENCODER_EXIT_CODE", L"");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  NativeString in_folder(const std::wstring& name) const {
    return (folder_ / name).wstring();
  }

  // The arguments a record file lists: "<length> <bytes>\n" each.
  std::vector<std::string> recorded_arguments(const std::wstring& file) const {
    const std::string text = read_bytes(folder_ / file);
    std::vector<std::string> arguments;
    std::size_t at = 0;
    while (at < text.size()) {
      const std::size_t blank = text.find(' ', at);
      if (blank == std::string::npos) break;
      const std::size_t length = std::stoul(text.substr(at, blank - at));
      arguments.push_back(text.substr(blank + 1, length));
      at = blank + 1 + length + 1;
    }
    return arguments;
  }

  fs::path folder_;
};

TEST_F(Win32Test, NewFilesAreWrittenWholeAndReadBack) {
  // Larger than one read chunk and not a multiple of it.
  std::vector<std::uint8_t> bytes(3 * (1 << 20) + 12345);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  }
  const NativeString path = in_folder(L"data \u00e9.bin");
  create_new_file(path, bytes, "write raw audio");
  EXPECT_EQ(read_whole_file(path, "read img file"), bytes);

  const NativeString empty = in_folder(L"empty.bin");
  create_new_file(empty, {}, "write raw audio");
  EXPECT_TRUE(read_whole_file(empty, "read img file").empty());
}

TEST_F(Win32Test, NothingIsWrittenOverAnExistingFile) {
  const NativeString path = in_folder(L"kept.raw");
  const std::vector<std::uint8_t> first = {1, 2, 3};
  create_new_file(path, first, "write raw audio");
  const std::vector<std::uint8_t> second = {9};
  const std::string report =
      report_of([&] { create_new_file(path, second, "write raw audio"); });
  EXPECT_EQ(report.rfind("write raw audio: ", 0), 0u) << report;
  EXPECT_TRUE(ends_with_os_error(report, 80)) << report;  // ERROR_FILE_EXISTS
  EXPECT_EQ(read_whole_file(path, "read"), first);
}

TEST_F(Win32Test, FailuresCarryTheStepAndTheSystemError) {
  const std::string no_folder = report_of([&] {
    create_new_file(in_folder(L"no such folder\\out.raw"), {},
                    "write raw audio");
  });
  EXPECT_EQ(no_folder.rfind("write raw audio: ", 0), 0u) << no_folder;
  EXPECT_TRUE(ends_with_os_error(no_folder, 3)) << no_folder;

  const std::string deleted = report_of([&] {
    delete_file(in_folder(L"missing.raw"), "delete temp raw audio output");
  });
  EXPECT_EQ(deleted.rfind("delete temp raw audio output: ", 0), 0u) << deleted;
  EXPECT_TRUE(ends_with_os_error(deleted, 2)) << deleted;
}

TEST_F(Win32Test, PathsExistAsFilesOrFoldersUntilDeleted) {
  const NativeString file = in_folder(L"here.raw");
  EXPECT_FALSE(path_exists(file, "check"));
  create_new_file(file, {}, "write");
  EXPECT_TRUE(path_exists(file, "check"));
  EXPECT_TRUE(path_exists(folder_.wstring(), "check"));
  // A missing folder on the way is absence too, not an error.
  EXPECT_FALSE(path_exists(in_folder(L"nowhere\\here.raw"), "check"));
  delete_file(file, "delete");
  EXPECT_FALSE(path_exists(file, "check"));
}

TEST_F(Win32Test, TheChildGetsItsArgumentsAndEveryByteOfInput) {
  const std::vector<NativeString> arguments = {
      L"-i",
      L"-",
      L"",
      L"two words",
      L"\"quoted\"",
      L"back\\slash",
      L"ends in backslash\\",
      L"ends in two\\\\",
      L"\\\"escaped\\\"",
      L"C:\\dir with blanks\\",
      L"caf\u00e9 \u65e5\u672c",
      L"tab\there",
  };
  // The bare name is found in the folder of the running program.
  ChildProcess child =
      spawn_with_input_pipe(L"fake_encoder", arguments, "spawn ffmpeg child");
  ASSERT_NE(child.input, -1);

  // More than any pipe buffer, written in several calls.
  std::vector<std::uint8_t> bytes(5 * 202176);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i % 253);
  }
  const std::span<const std::uint8_t> all(bytes);
  write_to_child(child, all.first(202176), "write frame");
  write_to_child(child, all.subspan(202176), "write frame");
  close_child_input(child);
  EXPECT_EQ(child.input, -1);
  const ExitStatus status = wait_for_child(child, "wait on child process");
  EXPECT_TRUE(status.success()) << describe(status);
  EXPECT_EQ(child.process, -1);

  std::vector<std::string> expected = {"fake_encoder"};
  for (const NativeString& argument : arguments) {
    expected.push_back(*argument_text(argument));
  }
  EXPECT_EQ(recorded_arguments(L"arguments.txt"), expected);
  EXPECT_EQ(recorded_arguments(L"shell-arguments.txt"), expected);
  EXPECT_EQ(read_bytes(folder_ / L"stdin.bin"),
            std::string(bytes.begin(), bytes.end()));
}

}  // namespace
}  // namespace glyphreel::platform
