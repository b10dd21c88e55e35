// Finding songs among files: a .cdg beside an audio file of the same name,
// or a zip that holds such pairs. Pure: the run lists the folders and reads
// the zips' directories; this decides what pairs with what, what is left
// alone, and what each song is called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_reader.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

using platform::NativeString;

// How a file came to the scanner.
enum class Found : std::uint8_t {
  InFolder,  // below a SOURCE folder: paired, or reported alone
  Named,     // a SOURCE itself: a .cdg or a .zip
  Beside,    // in the folder of a named .cdg: only ever its audio
};

struct FoundFile {
  NativeString path;       // as the file system is asked for it
  NativeString relative;   // below its SOURCE; a named file's own name
  std::string name;        // `relative` as UTF-8 text, '/' between folders
  std::size_t source = 0;  // which SOURCE, in command-line order
  Found how = Found::InFolder;
};

// The audio file types a song may have, in the order of preference when one
// .cdg has several beside it.
inline constexpr std::string_view audio_extensions[] = {
    "mp3", "ogg", "flac", "wav", "m4a", "aac", "opus", "wma"};

// The most graphics a song's zip entry may unpack to: 64 MiB of packs play
// for two and a half hours. A zip that claims more is refused before it is
// unpacked, so that no archive can make a run hold gigabytes.
inline constexpr std::uint64_t largest_song_graphics = std::uint64_t{64} << 20;

struct Song {
  std::string name;            // the relative name without extension: shown,
                               // listed and hashed for --shard
  NativeString output_stem;    // the output's relative path without ".mp4"
  NativeString graphics_path;  // the .cdg file, or the zip that holds both
  NativeString audio_path;     // the audio file; empty for a zip
  std::string graphics_entry;  // the members of the zip; empty for files
  std::string audio_entry;
  std::string source;  // the .cdg or the zip, as reports show it
  std::string audio;   // the audio file, or the zip's member, as shown

  bool from_zip() const { return !graphics_entry.empty(); }
  // The audio's extension, lower case ("mp3").
  std::string audio_extension() const;
};

// Something found that is no song: a failed result with its reason.
struct SongFailure {
  std::string name;  // relative, as a song's: what --shard hashes
  std::string source;
  std::string reason;
  bool operator==(const SongFailure&) const = default;
};

struct SongScan {
  std::vector<Song> songs;
  std::vector<FoundFile> zips;  // whose directories are still to be read
  std::vector<SongFailure> failures;
};

// True for a file or folder name that a collection's walk passes over: dot
// files (".DS_Store", "._Song.cdg" beside Mac copies) and "__MACOSX".
bool ignored_in_collection(std::string_view name_part);

// The lower-case extension of the last part of a '/'-separated name,
// without the dot; empty when it has none. Only ASCII letters change case.
std::string lower_extension(std::string_view name);

// Pairs the files by folder and name: each .cdg with the audio file of the
// same name (extensions compared without regard to case), zips set aside
// for their directories, and every .cdg or audio file of a folder that
// finds no partner a failure. A file below a SOURCE folder with a part that
// ignored_in_collection passes over is left out.
SongScan scan_song_files(std::span<const FoundFile> files);

// The songs in one zip from its directory: pairs at any depth, by folder and
// name, dot files and "__MACOSX/" left out. A zip with one pair is the song
// named after the zip; with several, each is "<zip name>/<.cdg name>". A
// zip without a pair, and a .cdg in it without audio, are failures.
void pair_zip_entries(const FoundFile& zip, std::span<const ZipEntry> entries,
                      SongScan& into);

// The songs in name order; of songs with the same output, the first keeps
// it and the others fail.
void settle_songs(SongScan& scan);

}  // namespace glyphreel
