#include "library/song_scan.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glyphreel {
namespace {

NativeString native(std::string_view utf8) {
  return platform::native_from_utf8(utf8);
}

// A file found below SOURCE 0, "root", by its '/'-separated name.
FoundFile in_folder(std::string_view name) {
  NativeString relative;
  std::string_view rest = name;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    relative = platform::join_path(relative, native(rest.substr(0, slash)));
    rest = slash == std::string_view::npos ? "" : rest.substr(slash + 1);
  }
  return {platform::join_path(native("root"), relative), relative,
          std::string(name), 0, Found::InFolder};
}

FoundFile named(std::string_view path, Found how, std::size_t source) {
  const NativeString own = native(path.substr(path.rfind('/') + 1));
  return {native(path), own, platform::display_path(own), source, how};
}

std::vector<std::string> names(const std::vector<Song>& songs) {
  std::vector<std::string> found;
  for (const Song& song : songs) found.push_back(song.name + " <" + song.audio);
  return found;
}

std::vector<std::string> sources(const std::vector<SongFailure>& failures) {
  std::vector<std::string> found;
  for (const SongFailure& failure : failures) {
    found.push_back(failure.name + ": " + failure.reason);
  }
  return found;
}

std::string shown(std::string_view name) {
  return platform::display_path(in_folder(name).path);
}

TEST(SongScan, PairsFilesByFolderAndNameAndReportsWhatIsLeft) {
  const std::vector<FoundFile> files = {
      in_folder("A.cdg"),          in_folder("A.MP3"),
      in_folder("sub/B.CdG"),      in_folder("sub/B.ogg"),
      in_folder("sub/B.wav"),  // the .ogg comes first
      in_folder("C.cdg"),          in_folder("sub/C.mp3"),  // other folders
      in_folder("a.mp3"),  // names are compared exactly
      in_folder("notes.txt"),      in_folder("cover.jpg"),
      in_folder(".hidden/D.cdg"),  in_folder("sub/._A.cdg"),
      in_folder("__MACOSX/E.cdg"), in_folder("Pack.Zip"),
  };
  const SongScan scan = scan_song_files(files);
  EXPECT_EQ(names(scan.songs),
            (std::vector<std::string>{"A <" + shown("A.MP3"),
                                      "sub/B <" + shown("sub/B.ogg")}));
  EXPECT_EQ(sources(scan.failures),
            (std::vector<std::string>{
                "C.cdg: has no audio file of the same name beside it",
                "a.mp3: has no .cdg file of the same name beside it",
                "sub/C.mp3: has no .cdg file of the same name beside it"}));
  ASSERT_EQ(scan.zips.size(), 1u);
  EXPECT_EQ(scan.zips[0].name, "Pack.Zip");
  const Song& b = scan.songs[1];
  EXPECT_EQ(b.output_stem, platform::join_path(native("sub"), native("B")));
  EXPECT_EQ(b.graphics_path, in_folder("sub/B.CdG").path);
  EXPECT_EQ(b.audio_path, in_folder("sub/B.ogg").path);
  EXPECT_FALSE(b.from_zip());
  EXPECT_EQ(b.audio_extension(), "ogg");
}

TEST(SongScan, NamedFilesPairOnlyWithTheAudioBesideThem) {
  const std::vector<FoundFile> files = {
      named("x/Song.cdg", Found::Named, 0),
      named("x/Song.flac", Found::Beside, 0),
      named("x/Other.mp3", Found::Beside, 0),  // not reported
      named("x/Other.cdg", Found::Beside, 0),  // not a song of its own
      named("y/Lone.cdg", Found::Named, 1),
      named("y/.Hidden.cdg", Found::Named, 2),  // named: never passed over
      named("y/.Hidden.wav", Found::Beside, 2),
      named("y/song.mp3", Found::Named, 3),
      named("z/Set.zip", Found::Named, 4),
  };
  const SongScan scan = scan_song_files(files);
  EXPECT_EQ(
      names(scan.songs),
      (std::vector<std::string>{
          "Song <" + platform::display_path(native("x/Song.flac")),
          ".Hidden <" + platform::display_path(native("y/.Hidden.wav"))}));
  EXPECT_EQ(sources(scan.failures),
            (std::vector<std::string>{
                "song.mp3: is neither a folder, a .zip nor a .cdg file",
                "Lone.cdg: has no audio file of the same name beside it"}));
  EXPECT_EQ(scan.zips.size(), 1u);
}

ZipEntry entry(std::string name, bool folder = false, std::uint64_t size = 0) {
  ZipEntry made;
  made.name = std::move(name);
  made.is_folder = folder;
  made.size = size;
  return made;
}

TEST(SongScan, PairsTheMembersOfZips) {
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;
    std::vector<std::string> songs;     // name <audio member
    std::vector<std::string> failures;  // name: reason
  };
  const std::string none =
      "holds no .cdg file with an audio file of the "
      "same name";
  const std::vector<Case> cases = {
      {"one pair at the top",
       {entry("S.cdg"), entry("S.mp3")},
       {"Pack <S.mp3"},
       {}},
      {"one pair deeper, with Mac leftovers",
       {entry("dir/", true), entry("dir/S.CDG"), entry("dir/S.m4a"),
        entry("__MACOSX/dir/._S.CDG"), entry("dir/.DS_Store")},
       {"Pack <dir/S.m4a"},
       {}},
      {"backslashes as separators",
       {entry("d\\S.cdg"), entry("d\\S.wav")},
       {"Pack <d\\S.wav"},
       {}},
      {"two pairs and an orphan",
       {entry("A.cdg"), entry("A.mp3"), entry("x/B.cdg"), entry("x/B.ogg"),
        entry("x/B.mp3"), entry("C.cdg"), entry("readme.txt")},
       {"Pack/A <A.mp3", "Pack/B <x/B.mp3"},
       {"Pack.zip/C.cdg: has no audio file of the same name in the zip"}},
      {"a pair split across folders",
       {entry("a/S.cdg"), entry("b/S.mp3")},
       {},
       {"Pack.zip/a/S.cdg: has no audio file of the same name in the zip",
        "Pack.zip: " + none}},
      {"names that Windows refuses in a file name",
       {entry("A:b.cdg"), entry("A:b.mp3"), entry("What?.cdg"),
        entry("What?.mp3")},
       {"Pack/A_b <A:b.mp3", "Pack/What_ <What?.mp3"},
       {}},
      {"graphics too large for a song, and a name given twice (the first "
       "counts, as when the song is read)",
       {entry("S.cdg", false, largest_song_graphics), entry("S.mp3"),
        entry("S.cdg", false, largest_song_graphics + 1),
        entry("T.cdg", false, largest_song_graphics + 1), entry("T.mp3")},
       {"Pack <S.mp3"},
       {"Pack.zip/T.cdg: unpacks to 67108865 bytes, more than a song's "
        "graphics (64 MiB)"}},
      {"nothing but audio", {entry("S.mp3")}, {}, {"Pack.zip: " + none}},
      {"empty", {}, {}, {"Pack.zip: " + none}},
  };
  const FoundFile zip = named("lib/Pack.zip", Found::InFolder, 0);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    SongScan scan;
    pair_zip_entries(zip, test.entries, scan);
    EXPECT_EQ(names(scan.songs), test.songs);
    EXPECT_EQ(sources(scan.failures), test.failures);
    for (const Song& song : scan.songs) {
      EXPECT_TRUE(song.from_zip());
      EXPECT_EQ(song.graphics_path, zip.path);
      EXPECT_EQ(song.output_stem,
                test.songs.size() == 1
                    ? native("Pack")
                    : platform::join_path(
                          native("Pack"),
                          native(song.name.substr(song.name.rfind('/') + 1))));
    }
  }
}

TEST(SongScan, SettlingSortsByNameAndFailsASecondSongWithTheSameOutput) {
  const std::vector<FoundFile> files = {
      in_folder("b.cdg"),
      in_folder("b.mp3"),
      in_folder("a/Song.cdg"),
      in_folder("a/Song.mp3"),
      named("z/b.cdg", Found::Named, 1),
      named("z/b.wav", Found::Beside, 1),
  };
  SongScan scan = scan_song_files(files);
  settle_songs(scan);
  ASSERT_EQ(scan.songs.size(), 2u);
  EXPECT_EQ(scan.songs[0].name, "a/Song");
  EXPECT_EQ(scan.songs[1].name, "b");
  EXPECT_EQ(sources(scan.failures),
            (std::vector<std::string>{"b: has the same output as " +
                                      scan.songs[1].source}));
}

TEST(SongScan, ExtensionsAndIgnoredNames) {
  EXPECT_EQ(lower_extension("dir.x/Song.Mp3"), "mp3");
  EXPECT_EQ(lower_extension("dir.x/Song"), "");
  EXPECT_EQ(lower_extension(".cdg"), "");
  EXPECT_EQ(lower_extension("a\\b.CDG"), "cdg");
  EXPECT_TRUE(ignored_in_collection(".DS_Store"));
  EXPECT_TRUE(ignored_in_collection("__MACOSX"));
  EXPECT_FALSE(ignored_in_collection("Song.cdg"));
}

}  // namespace
}  // namespace glyphreel
