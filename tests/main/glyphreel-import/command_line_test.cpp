#include "main/glyphreel-import/command_line.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace glyphreel {
namespace {

ImportRequest parse(std::vector<NativeString> tail) {
  tail.insert(tail.begin(), "glyphreel-import");
  return parse_import_arguments(tail);
}

TEST(ImportCommandLine, WrongCommandLinesGiveTheUsage) {
  const std::vector<std::vector<NativeString>> wrong = {
      {},
      {"rip"},                    // unknown command
      {"--help", "cue"},          // --help stands alone
      {"cue", "a.cue", "a.sub"},  // missing OUTDIR
      {"cue", "a.cue", "a.sub", "out", "extra"},
      {"cue", "a.cue", "a.sub", "out", "--form"},  // no value
      {"cue", "a.cue", "a.sub", "out", "--form", "foo"},
      {"cue", "a.cue", "a.sub", "out", "--sub-start", "1.5"},
      {"cue", "a.cue", "a.sub", "out", "--sub-start", "-"},
      {"cue", "a.cue", "a.sub", "out", "--sub-start", "-+3"},
      {"cue", "a.cue", "a.sub", "out", "--sub-start", "9223372036854775808"},
      {"cue", "a.cue", "a.sub", "out", "--uncorrectable", "Keep"},
      {"cue", "a.cue", "a.sub", "out", "--json", "--json"},  // given twice
      {"cue", "a.cue", "a.sub", "out", "--ffmpeg", "x"},     // not cue's
      {"cue", "a.cue", "a.sub", "out", "--form=packed"},
      {"clonecd", "a.ccd"},
      {"clonecd", "a.ccd", "out", "--form", "packed"},
      {"songs", "out"},
      {"songs", "out", "a.cdg"},  // half a pair
      {"songs", "out", "a.cdg", "a.mp3", "b.cdg"},
      {"songs", "out", "a.cdg", "a.mp3", "--json"},
      {"check"},
      {"check", "d.cdg", "d.toc", "more"},
      {"check", "d.cdg", "--uncorrectable", "blank"},
  };
  for (const auto& tail : wrong) {
    EXPECT_TRUE(std::holds_alternative<ShowUsage>(parse(tail)))
        << (tail.empty() ? "(none)" : tail[0]) << " " << tail.size();
  }
}

TEST(ImportCommandLine, OptionsStandAnywhereAfterTheCommand) {
  const auto cue = std::get<CueArguments>(
      parse({"cue", "--json", "a b.cue", "--sub-start", "-150", "a.sub",
             "--form", "packed", "out", "--uncorrectable", "blank"}));
  EXPECT_EQ(cue.sheet_path, "a b.cue");
  EXPECT_EQ(cue.subchannel_path, "a.sub");
  EXPECT_EQ(cue.out_folder, "out");
  EXPECT_EQ(cue.form, SubchannelForm::Packed);
  EXPECT_EQ(cue.sub_start, -150);
  EXPECT_EQ(cue.uncorrectable, UncorrectablePacks::Blank);
  EXPECT_TRUE(cue.json);

  // The defaults; a single dash is a path, not an option.
  const auto plain = std::get<CueArguments>(parse({"cue", "-", "s", "o"}));
  EXPECT_EQ(plain.sheet_path, "-");
  EXPECT_EQ(plain.form, SubchannelForm::Interleaved);
  EXPECT_EQ(plain.sub_start, 0);
  EXPECT_EQ(plain.uncorrectable, UncorrectablePacks::Keep);
  EXPECT_FALSE(plain.json);
  // A start after the image's first sector is a number here; the run
  // refuses it with its own message.
  EXPECT_EQ(
      std::get<CueArguments>(parse({"cue", "c", "s", "o", "--sub-start", "+7"}))
          .sub_start,
      7);
  EXPECT_EQ(std::get<CueArguments>(parse({"cue", "c", "s", "o", "--sub-start",
                                          "-9223372036854775808"}))
                .sub_start,
            INT64_MIN);

  const auto ccd =
      std::get<CloneCdArguments>(parse({"clonecd", "--json", "d.ccd", "o"}));
  EXPECT_EQ(ccd.ccd_path, "d.ccd");
  EXPECT_EQ(ccd.out_folder, "o");
  EXPECT_TRUE(ccd.json);
}

TEST(ImportCommandLine, SongsComeInPairsAndCheckTakesAnOptionalToc) {
  const auto songs = std::get<SongsArguments>(
      parse({"songs", "out", "a.cdg", "a.mp3", "--ffmpeg", "/opt/ff", "b.cdg",
             "b.wav"}));
  EXPECT_EQ(songs.out_folder, "out");
  ASSERT_EQ(songs.songs.size(), 2u);
  EXPECT_EQ(songs.songs[1].graphics_path, "b.cdg");
  EXPECT_EQ(songs.songs[1].audio_path, "b.wav");
  EXPECT_EQ(songs.ffmpeg_path, "/opt/ff");
  EXPECT_EQ(
      std::get<SongsArguments>(parse({"songs", "o", "a", "b"})).ffmpeg_path,
      "ffmpeg");

  const auto alone = std::get<CheckArguments>(parse({"check", "d.cdg"}));
  EXPECT_FALSE(alone.toc_path.has_value());
  const auto with_toc =
      std::get<CheckArguments>(parse({"check", "d.cdg", "--json", "d.toc"}));
  EXPECT_EQ(with_toc.toc_path, "d.toc");
  EXPECT_TRUE(with_toc.json);
}

TEST(ImportCommandLine, HelpAndVersion) {
  EXPECT_TRUE(std::holds_alternative<ShowHelp>(parse({"--help"})));
  EXPECT_TRUE(std::holds_alternative<ShowVersion>(parse({"--version"})));
  EXPECT_EQ(import_version_line(), "glyphreel-import " GLYPHREEL_VERSION);
  const std::string help = import_help_text();
  EXPECT_TRUE(help.starts_with(import_usage_text)) << help;
  EXPECT_NE(help.find("MIT"), std::string::npos) << help;
}

}  // namespace
}  // namespace glyphreel
