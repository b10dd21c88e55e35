#include "library/report.hpp"

#include <gtest/gtest.h>

namespace glyphreel {
namespace {

SongResult result(SongStatus status, std::string reason = {}) {
  SongResult made;
  made.name = "Artist/Song \"1\"";
  made.source = "in/Artist/Song \"1\".cdg";
  made.output = "out/Artist/Song \"1\".mp4";
  made.status = status;
  made.reason = std::move(reason);
  made.seconds = 12.345;
  made.frames = 7200;
  made.audio_copied = true;
  return made;
}

TEST(LibraryReport, ResultsAreOneJsonObjectALine) {
  const std::string common =
      R"({"source":"in/Artist/Song \"1\".cdg","output":"out/Artist/Song \"1\".mp4",)";
  EXPECT_EQ(
      result_json(result(SongStatus::Converted)),
      common +
          R"("status":"converted","seconds":12.3,"frames":7200,"audio":"copied"})"
          "\n");
  EXPECT_EQ(
      result_json(result(SongStatus::Failed, "ffmpeg failed:\n\tbad\x01")),
      common +
          R"("status":"failed","reason":"ffmpeg failed:\n\tbad\u0001","seconds":12.3})"
          "\n");
  SongResult encoded = result(SongStatus::Converted);
  encoded.audio_copied = false;
  EXPECT_NE(result_json(encoded).find(R"("audio":"encoded")"),
            std::string::npos);
  EXPECT_EQ(json_string("\\ é"), "\"\\\\ é\"");
  // An encoder's message may echo a file name that is not UTF-8.
  EXPECT_EQ(json_string("./\xe9t\xe9.mp3"), "\"./\uFFFDt\uFFFD.mp3\"");
}

TEST(LibraryReport, ListLinesHaveFourTabSeparatedFields) {
  EXPECT_EQ(list_line("A/B", "in/A/B.cdg", "in/A/B.mp3", false),
            "A/B\tin/A/B.cdg\tin/A/B.mp3\ttodo\n");
  EXPECT_EQ(list_line("Odd\tname", "z.zip", "x\ny.mp3", true),
            "Odd name\tz.zip\tx y.mp3\tdone\n");
}

TEST(LibraryReport, ProgressFinishedLinesAndSummary) {
  Tally tally;
  tally.total = 10;
  EXPECT_EQ(progress_line(tally, 5),
            "[0/10] 0 failed, 0 skipped, 0:05 elapsed");
  tally.count(SongStatus::Converted);
  tally.count(SongStatus::Converted);
  tally.count(SongStatus::Skipped);
  tally.count(SongStatus::Failed);
  // Three songs worked on in 90 s: six left take about 180 s.
  EXPECT_EQ(progress_line(tally, 90),
            "[4/10] 1 failed, 1 skipped, 1:30 elapsed, about 3:00 left");
  EXPECT_EQ(finished_line(tally, result(SongStatus::Converted)),
            "[4/10] converted Artist/Song \"1\" (12.3 s)\n");
  EXPECT_EQ(finished_line(tally, result(SongStatus::Skipped, "exists")),
            "[4/10] skipped Artist/Song \"1\": exists\n");
  EXPECT_EQ(summary_line(tally, 3723.9),
            "glyphreel-library: 2 converted, 1 skipped, 1 failed in 1:02:03\n");
  EXPECT_EQ(clock_text(59.99), "0:59");
  EXPECT_EQ(clock_text(-1), "0:00");
}

}  // namespace
}  // namespace glyphreel
