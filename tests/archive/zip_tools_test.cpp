// Ordinary zip tools read what the writer makes: Info-ZIP's unzip tests
// each member's CRC-32, and Python's zipfile lists and reads them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "archive/zip_writer.hpp"

namespace glyphreel {
namespace {

// The command's standard output and its exit status.
std::pair<std::string, int> run(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {"popen failed", -1};
  std::string out;
  for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
  return {out, pclose(pipe)};
}

TEST(ZipTools, ReadWhatTheWriterMakes) {
  char folder[] = "/tmp/glyphreel-zip-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::vector<std::uint8_t> cdg(70000, 9), mp3(21, 0xFF);
  const ZipMember members[] = {{"01 - Artist - Song.cdg", cdg, true},
                               {"01 - Art\xc3\xafst - Song.mp3", mp3, false}};
  // 2024-05-17 12:34:56.
  const std::uint32_t dos_time = 0x58B1645C;
  const char* const python =
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1]) as z:\n"
      "    assert z.testzip() is None\n"
      "    for i in z.infolist():\n"
      "        print(i.filename, i.compress_type, i.file_size,\n"
      "              len(z.read(i)), i.date_time)\n";
  const std::string listing =
      "01 - Artist - Song.cdg 8 70000 70000 (2024, 5, 17, 12, 34, 56)\n"
      "01 - Art\xc3\xafst - Song.mp3 0 21 21 (2024, 5, 17, 12, 34, 56)\n";

  for (const std::uint64_t zip64_from :
       {std::uint64_t{0xFFFFFFFF}, std::uint64_t{0}}) {
    const std::string path =
        std::string(folder) + "/song" + std::to_string(zip64_from) + ".zip";
    const auto zip = zip_archive_zip64_from(members, dos_time, zip64_from);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(zip.data()),
               static_cast<std::streamsize>(zip.size()));
    const auto [tested, unzip_status] = run("unzip -tq '" + path + "'");
    EXPECT_EQ(unzip_status, 0) << tested;
    const auto [listed, python_status] =
        run("python3 -c '" + std::string(python) + "' '" + path + "'");
    EXPECT_EQ(python_status, 0);
    EXPECT_EQ(listed, listing) << "Zip64 from " << zip64_from;
    std::remove(path.c_str());
  }
  rmdir(folder);
}

}  // namespace
}  // namespace glyphreel
