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
      {"rip"},            // unknown command
      {"--help", "cue"},  // --help stands alone
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
      {"cue", "a.cue"},  // no OUTDIR
      {"cue", "a.cue", "a.sub", "out", "--sub-start", "Auto"},
      {"cdrdao", "d.toc"},
      {"cdrdao", "d.toc", "out", "--sub-start", "auto"},
      {"check", "d.cue", "d.sub", "more"},
      {"check", "d.cue", "--uncorrectable", "blank"},
      {"check", "d.toc", "out"},
      {"check", "D.CCD", "--form", "packed"},
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
  EXPECT_EQ(cue.sub_start, (SubStart{SubStart::Kind::Given, -150}));
  EXPECT_EQ(cue.options.uncorrectable, UncorrectablePacks::Blank);
  EXPECT_TRUE(cue.options.json);
  EXPECT_FALSE(cue.options.check);

  // The defaults; a single dash is a path, not an option.
  const auto plain = std::get<CueArguments>(parse({"cue", "-", "s", "o"}));
  EXPECT_EQ(plain.sheet_path, "-");
  EXPECT_EQ(plain.form, SubchannelForm::Interleaved);
  EXPECT_EQ(plain.sub_start, SubStart{});
  EXPECT_EQ(plain.options.uncorrectable, UncorrectablePacks::Keep);
  EXPECT_FALSE(plain.options.json);
  // A start after the image's first sector is a number here; the run
  // refuses it with its own message.
  EXPECT_EQ(
      std::get<CueArguments>(parse({"cue", "c", "s", "o", "--sub-start", "+7"}))
          .sub_start.sector,
      7);
  EXPECT_EQ(std::get<CueArguments>(parse({"cue", "c", "s", "o", "--sub-start",
                                          "-9223372036854775808"}))
                .sub_start.sector,
            INT64_MIN);
  // CDG tracks carry their subchannel: no SUBCHANNEL; auto by name.
  const auto cdg = std::get<CueArguments>(
      parse({"cue", "k.cue", "out", "--sub-start", "auto"}));
  EXPECT_EQ(cdg.subchannel_path, std::nullopt);
  EXPECT_EQ(cdg.out_folder, "out");
  EXPECT_EQ(cdg.sub_start.kind, SubStart::Kind::Auto);

  const auto ccd =
      std::get<CloneCdArguments>(parse({"clonecd", "--json", "d.ccd", "o"}));
  EXPECT_EQ(ccd.ccd_path, "d.ccd");
  EXPECT_EQ(ccd.out_folder, "o");
  EXPECT_TRUE(ccd.options.json);
  const auto toc = std::get<CdrdaoArguments>(
      parse({"cdrdao", "d.toc", "o", "--uncorrectable", "blank"}));
  EXPECT_EQ(toc.toc_path, "d.toc");
  EXPECT_EQ(toc.options.uncorrectable, UncorrectablePacks::Blank);
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

  // A rip is checked by its first argument's extension, whatever its case.
  const auto sheet = std::get<CueArguments>(
      parse({"check", "--sub-start", "auto", "R.CUE", "r.sub"}));
  EXPECT_EQ(sheet.subchannel_path, "r.sub");
  EXPECT_TRUE(sheet.out_folder.empty());
  EXPECT_TRUE(sheet.options.check);
  EXPECT_TRUE(
      std::get<CdrdaoArguments>(parse({"check", "r.toc"})).options.check);
  EXPECT_TRUE(std::get<CloneCdArguments>(parse({"check", "r.Ccd", "--json"}))
                  .options.json);
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
