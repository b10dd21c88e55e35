// The Win32 calls glyphreel-import adds to the platform layer, against the
// real system: folders, files in pieces, paths, and fake_decoder.exe as a
// child whose output we read.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "fatal_report.hpp"
#include "platform/platform.hpp"

namespace glyphreel::platform {
namespace {

namespace fs = std::filesystem;

bool ends_with_code(const std::string& report, int code) {
  return report.ends_with(" (os error " + std::to_string(code) + ")");
}

class Win32ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              (L"glyphreel-import-test-" +
               std::to_wstring(std::random_device{}()) + L" \u00e9\u65e5");
    fs::create_directories(folder_);
    ASSERT_EQ(_wputenv(L"FAKE_DECODER_EXIT="), 0);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  NativeString in_folder(const std::wstring& name) const {
    return (folder_ / name).wstring();
  }

  fs::path folder_;
};

TEST(Win32Paths, ParentFolderAndJoin) {
  const struct {
    const wchar_t* path;
    const wchar_t* parent;
  } parents[] = {
      {L"disc.cue", L""},
      {L"rips\\disc.cue", L"rips"},
      {L"rips/disc.cue", L"rips"},
      {L"C:\\disc.cue", L"C:\\"},
      {L"C:disc.cue", L"C:"},
      {L"\\\\server\\share\\d.cue", L"\\\\server\\share"},
  };
  for (const auto& [path, parent] : parents) {
    EXPECT_EQ(parent_folder(path), parent) << display_path(path);
  }
  EXPECT_EQ(join_path(L"", L"t.bin"), L"t.bin");
  EXPECT_EQ(join_path(L"rips", L"t 1.bin"), L"rips\\t 1.bin");
  EXPECT_EQ(join_path(L"C:\\", L"t.bin"), L"C:\\t.bin");
  EXPECT_EQ(join_path(L"rips", L"D:\\abs.bin"), L"D:\\abs.bin");
  EXPECT_EQ(native_from_utf8("caf\xC3\xA9 \xE6\x97\xA5.bin"),
            L"caf\u00e9 \u65e5.bin");
  EXPECT_EQ(display_path(L"caf\u00e9"), "caf\xC3\xA9");
}

// The Wine end-to-end runs make and remove folders and write whole files;
// here the pieces and the failures they cannot reach.
TEST_F(Win32ImportTest, FilesInPiecesAndFailuresWithTheirCodes) {
  std::vector<std::uint8_t> bytes(3 * (1 << 20) + 777);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 4099);
  }
  const NativeString path = in_folder(L"disc \u00e9.img");
  OpenFile out = create_output_file(path, "write");
  const std::span<const std::uint8_t> all(bytes);
  append_to_file(out, all.first(1000), "write");
  append_to_file(out, all.subspan(1000), "write");
  close_file(out, "write");
  EXPECT_EQ(file_size(path, "size"), bytes.size());
  OpenFile in = open_input_file(path, "read");
  std::vector<std::uint8_t> back(bytes.size() + 10);
  const std::span<std::uint8_t> into(back);
  EXPECT_EQ(read_from_file(in, into.first(12345), "read"), 12345u);
  EXPECT_EQ(read_from_file(in, into.subspan(12345), "read"),
            bytes.size() - 12345);
  // Back to a place in the file, as the runs of a rip start.
  seek_file(in, 1000001, "seek");
  std::array<std::uint8_t, 3> three{};
  EXPECT_EQ(read_from_file(in, three, "read"), 3u);
  EXPECT_TRUE(std::equal(three.begin(), three.end(), bytes.begin() + 1000001));
  close_file(in, "");
  back.resize(bytes.size());
  EXPECT_EQ(back, bytes);

  const std::pair<std::string, int> failures[] = {
      {report_of([&] { create_output_file(path, "write"); }), 80},
      {report_of([&] { file_size(folder_.wstring(), "size"); }), 5},
      {report_of([&] { create_directories(path + L"\\x", "create"); }), 183},
  };
  for (const auto& [report, code] : failures) {
    EXPECT_TRUE(ends_with_code(report, code)) << report;
  }
}

TEST_F(Win32ImportTest, TheDecodersOutputIsReadToTheEnd) {
  // More than the pipe holds.
  std::vector<std::uint8_t> audio(2 * (1 << 20) + 3);
  for (std::size_t i = 0; i < audio.size(); ++i) {
    audio[i] = static_cast<std::uint8_t>(i % 251);
  }
  const NativeString path = in_folder(L"song \u65e5.mp3");
  create_new_file(path, audio, "write");
  const std::vector<NativeString> arguments = {L"-i", path, L"-"};

  OutputChild child =
      spawn_with_output_pipe(L"fake_decoder", arguments, "spawn ffmpeg child");
  std::vector<std::uint8_t> got(audio.size() + 100);
  EXPECT_EQ(read_from_child(child, got, "read"), audio.size());
  got.resize(audio.size());
  EXPECT_EQ(got, audio);
  close_child_output(child);
  EXPECT_TRUE(wait_for_child(child.process, "wait").success());

  ASSERT_EQ(_wputenv(L"FAKE_DECODER_EXIT=5"), 0);
  OutputChild failing =
      spawn_with_output_pipe(L"fake_decoder", arguments, "spawn ffmpeg child");
  EXPECT_EQ(read_from_child(failing, got, "read"), 0u);
  close_child_output(failing);
  EXPECT_EQ(wait_for_child(failing.process, "wait").code, 5);

  const std::string missing = report_of([&] {
    spawn_with_output_pipe(in_folder(L"no decoder.exe"), arguments,
                           "spawn ffmpeg child");
  });
  EXPECT_TRUE(missing.starts_with("spawn ffmpeg child: ")) << missing;
  EXPECT_TRUE(ends_with_code(missing, 2)) << missing;
}

}  // namespace
}  // namespace glyphreel::platform
