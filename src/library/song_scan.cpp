#include "library/song_scan.hpp"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

#include "library/disc_songs.hpp"

namespace glyphreel {

namespace {

constexpr std::string_view graphics_extension = "cdg";
constexpr std::string_view zip_extension = "zip";

// The position of `extension` in audio_extensions, or its size when the
// extension is none of them.
std::size_t audio_rank(std::string_view extension) {
  const auto* found = std::find(std::begin(audio_extensions),
                                std::end(audio_extensions), extension);
  return static_cast<std::size_t>(found - std::begin(audio_extensions));
}

bool is_audio(std::string_view extension) {
  return audio_rank(extension) < std::size(audio_extensions);
}

// `text` without its last `count` code units plus the dot before them: the
// extension is ASCII, so it is as long in native form as in UTF-8.
template <typename Text>
Text without_extension(const Text& text, std::string_view extension) {
  return text.substr(0, text.size() - extension.size() - 1);
}

// Whether any '/'-separated part of the name is passed over.
bool has_ignored_part(std::string_view name) {
  while (!name.empty()) {
    const std::size_t slash = name.find('/');
    if (ignored_in_collection(name.substr(0, slash))) return true;
    if (slash == std::string_view::npos) break;
    name.remove_prefix(slash + 1);
  }
  return false;
}

// A .cdg and the audio files of the same folder and name.
template <typename Member>
struct Group {
  const Member* graphics = nullptr;
  std::vector<const Member*> audio;

  // The audio file of the first type in audio_extensions.
  const Member* preferred_audio(auto name_of) const {
    return *std::min_element(audio.begin(), audio.end(),
                             [&](const Member* a, const Member* b) {
                               return audio_rank(lower_extension(name_of(*a))) <
                                      audio_rank(lower_extension(name_of(*b)));
                             });
  }
};

Song song_from_files(const FoundFile& graphics, const FoundFile& audio) {
  Song song;
  song.name = without_extension(graphics.name, graphics_extension);
  song.output_stem = without_extension(graphics.relative, graphics_extension);
  song.graphics_path = graphics.path;
  song.audio_path = audio.path;
  song.source = platform::display_path(graphics.path);
  song.audio = platform::display_path(audio.path);
  return song;
}

// The last part of a member's name, '\\' counted as a separator as some
// Windows tools write it.
std::string_view last_part(std::string_view name) {
  const std::size_t separator = name.find_last_of("/\\");
  return separator == std::string_view::npos ? name
                                             : name.substr(separator + 1);
}

}  // namespace

bool ignored_in_collection(std::string_view name_part) {
  return name_part.starts_with('.') || name_part == "__MACOSX";
}

std::string lower_extension(std::string_view name) {
  const std::string_view part = last_part(name);
  const std::size_t dot = part.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  std::string extension(part.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

std::string Song::audio_extension() const { return lower_extension(audio); }

SongScan scan_song_files(std::span<const FoundFile> files) {
  SongScan scan;
  // By SOURCE and by path without extension: the files of one folder and
  // name, in a fixed order.
  std::map<std::pair<std::size_t, NativeString>, Group<FoundFile>> groups;
  for (const FoundFile& file : files) {
    if (file.how == Found::InFolder && has_ignored_part(file.name)) continue;
    const std::string extension = lower_extension(file.name);
    const bool graphics = extension == graphics_extension;
    if (file.how == Found::Named && !graphics && extension != zip_extension) {
      scan.failures.push_back({file.name, platform::display_path(file.path),
                               "is neither a folder, a .zip nor a .cdg file"});
      continue;
    }
    if (extension == zip_extension) {
      if (file.how != Found::Beside) scan.zips.push_back(file);
      continue;
    }
    if (!graphics && !is_audio(extension)) continue;
    if (graphics && file.how == Found::Beside) continue;
    Group<FoundFile>& group =
        groups[{file.source, without_extension(file.relative, extension)}];
    if (graphics) {
      group.graphics = &file;
    } else {
      group.audio.push_back(&file);
    }
  }
  const auto name_of = [](const FoundFile& file) { return file.name; };
  for (const auto& [key, group] : groups) {
    if (group.graphics != nullptr && !group.audio.empty()) {
      scan.songs.push_back(
          song_from_files(*group.graphics, *group.preferred_audio(name_of)));
    } else if (group.graphics != nullptr) {
      scan.failures.push_back({group.graphics->name,
                               platform::display_path(group.graphics->path),
                               "has no audio file of the same name beside it"});
    } else {
      for (const FoundFile* audio : group.audio) {
        if (audio->how != Found::InFolder) continue;
        scan.failures.push_back(
            {audio->name, platform::display_path(audio->path),
             "has no .cdg file of the same name beside it"});
      }
    }
  }
  return scan;
}

void pair_zip_entries(const FoundFile& zip, std::span<const ZipEntry> entries,
                      SongScan& into) {
  std::map<std::string, Group<ZipEntry>> groups;
  for (const ZipEntry& entry : entries) {
    std::string name = entry.name;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (entry.is_folder || has_ignored_part(name)) continue;
    const std::string extension = lower_extension(name);
    const bool graphics = extension == graphics_extension;
    if (!graphics && !is_audio(extension)) continue;
    Group<ZipEntry>& group = groups[without_extension(name, extension)];
    if (graphics) {
      // The first of a name, as the entry read when the song is converted.
      if (group.graphics == nullptr) group.graphics = &entry;
    } else {
      group.audio.push_back(&entry);
    }
  }
  const std::string zip_source = platform::display_path(zip.path);
  std::vector<std::pair<const ZipEntry*, const ZipEntry*>> pairs;
  for (const auto& [stem, group] : groups) {
    if (group.graphics == nullptr) continue;
    if (group.graphics->size > largest_song_graphics) {
      into.failures.push_back(
          {zip.name + "/" + group.graphics->name,
           zip_source + ": " + group.graphics->name,
           "unpacks to " + std::to_string(group.graphics->size) +
               " bytes, more than a song's graphics (64 MiB)"});
      continue;
    }
    if (group.audio.empty()) {
      into.failures.push_back({zip.name + "/" + group.graphics->name,
                               zip_source + ": " + group.graphics->name,
                               "has no audio file of the same name in the "
                               "zip"});
      continue;
    }
    pairs.emplace_back(group.graphics,
                       group.preferred_audio(
                           [](const ZipEntry& entry) { return entry.name; }));
  }
  if (pairs.empty()) {
    into.failures.push_back(
        {zip.name, zip_source,
         "holds no .cdg file with an audio file of the same name"});
    return;
  }
  const std::string zip_name = without_extension(zip.name, zip_extension);
  const NativeString zip_stem = without_extension(zip.relative, zip_extension);
  for (const auto& [graphics, audio] : pairs) {
    Song song;
    song.name = zip_name;
    song.output_stem = zip_stem;
    if (pairs.size() > 1) {
      // Only the .cdg's own name, fit for a file name on every system:
      // nothing in a zip's names can lead the output out of the zip's
      // folder or make a name the output's file system refuses.
      std::string own_name = name_text(without_extension(
          std::string(last_part(graphics->name)), graphics_extension));
      if (own_name.empty()) own_name = "_";
      song.name += "/" + own_name;
      song.output_stem =
          platform::join_path(zip_stem, platform::native_from_utf8(own_name));
    }
    song.graphics_path = zip.path;
    song.graphics_entry = graphics->name;
    song.audio_entry = audio->name;
    song.source = zip_source;
    song.audio = audio->name;
    into.songs.push_back(std::move(song));
  }
}

void settle_songs(SongScan& scan) {
  std::sort(scan.songs.begin(), scan.songs.end(),
            [](const Song& a, const Song& b) {
              return std::tie(a.name, a.source, a.graphics_entry) <
                     std::tie(b.name, b.source, b.graphics_entry);
            });
  std::map<NativeString, std::string> first_with_output;  // its source
  std::vector<Song> kept;
  for (Song& song : scan.songs) {
    const auto [at, inserted] =
        first_with_output.emplace(song.output_stem, song.source);
    if (!inserted) {
      scan.failures.push_back(
          {song.name, song.source, "has the same output as " + at->second});
      continue;
    }
    kept.push_back(std::move(song));
  }
  scan.songs = std::move(kept);
  std::sort(scan.failures.begin(), scan.failures.end(),
            [](const SongFailure& a, const SongFailure& b) {
              return a.source < b.source;
            });
}

}  // namespace glyphreel
