#include "main/glyphreel-library/convert.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/zip_reader.hpp"
#include "base/fatal_error.hpp"
#include "encoder/library_encoder.hpp"
#include "library/plan.hpp"
#include "main/glyphreel-library/song_video.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

namespace {

// A video's temporaries, each removed at the end unless renamed into place.
struct Temporaries {
  NativeString video;
  NativeString log;
  NativeString audio;  // a zip's audio member; empty for files

  void remove(bool keep_video) const {
    for (const NativeString* path : {&video, &log, &audio}) {
      if (path->empty() || (keep_video && path == &video)) continue;
      try {
        if (platform::path_or_link_exists(*path, "")) {
          platform::delete_file(*path, "");
        }
      } catch (const FatalError&) {
        // Left for the clean-up of a later run of this host.
      }
    }
  }
};

// The song's graphics, whole packs only, and the audio file the encoder
// reads: the song's own, or a zip's member written to a temporary.
struct SongInputs {
  std::vector<std::uint8_t> graphics;
  NativeString audio_path;
};

const ZipEntry& member(const std::vector<ZipEntry>& entries,
                       const std::string& name, const std::string& zip) {
  for (const ZipEntry& entry : entries) {
    if (entry.name == name) return entry;
  }
  throw FatalError(zip + " no longer holds " + name);
}

SongInputs read_inputs(const Song& song, Temporaries& temporaries,
                       const std::function<NativeString()>& audio_temporary) {
  SongInputs inputs;
  if (!song.from_zip()) {
    inputs.graphics =
        platform::read_whole_file(song.graphics_path, "read " + song.source);
    inputs.audio_path = song.audio_path;
  } else {
    const std::vector<std::uint8_t> zip =
        platform::read_whole_file(song.graphics_path, "read " + song.source);
    const std::vector<ZipEntry> entries = read_zip_directory(zip, song.source);
    inputs.graphics = extract_zip_entry(
        zip, member(entries, song.graphics_entry, song.source), song.source);
    const NativeString audio_path = audio_temporary();
    platform::create_new_file(
        audio_path,
        extract_zip_entry(zip, member(entries, song.audio_entry, song.source),
                          song.source),
        "write " + platform::display_path(audio_path));
    temporaries.audio = audio_path;
    inputs.audio_path = audio_path;
  }
  // A trailing piece shorter than a pack draws nothing.
  inputs.graphics.resize(inputs.graphics.size() / pack_size * pack_size);
  return inputs;
}

// Whether another worker is writing the video: the reason to leave it.
std::optional<std::string> other_worker(const NativeString& folder,
                                        const NativeString& video_name,
                                        const TemporaryOwner& owner) {
  if (!platform::path_exists(folder, "")) return std::nullopt;
  const NativeString stem = temporary_stem(video_name);
  for (const platform::FolderEntry& entry : platform::list_folder(
           folder, "list " + platform::display_path(folder))) {
    const std::optional<ParsedTemporary> temporary =
        parse_temporary(entry.name);
    if (!temporary || temporary->video_stem != stem ||
        temporary->owner == owner) {
      continue;
    }
    const NativeString path = platform::join_path(folder, entry.name);
    const std::optional<std::uint64_t> unchanged =
        platform::seconds_since_modified(
            path, "check " + platform::display_path(path));
    // One gone meanwhile was its owner's to take away: finished or failed.
    if (!unchanged ||
        !temporary_in_use(temporary->owner, owner.host,
                          platform::process_is_running, *unchanged)) {
      continue;
    }
    return "being converted by " + temporary->owner.host + " (process " +
           std::to_string(temporary->owner.process) + ")";
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> clear_stale_temporaries(const NativeString& folder,
                                                 const TemporaryOwner& owner) {
  std::vector<std::string> warnings;
  try {
    if (!platform::path_exists(folder, "")) return warnings;
    for (const platform::FolderEntry& entry : platform::list_folder(
             folder, "list " + platform::display_path(folder))) {
      const std::optional<ParsedTemporary> temporary =
          parse_temporary(entry.name);
      if (!temporary || temporary->owner.host != owner.host) continue;
      const NativeString path = platform::join_path(folder, entry.name);
      try {
        const std::optional<std::uint64_t> unchanged =
            platform::seconds_since_modified(
                path, "check " + platform::display_path(path));
        if (!unchanged ||
            !is_stale_temporary(temporary->owner, owner.host,
                                platform::process_is_running, *unchanged)) {
          continue;
        }
        platform::delete_file(path,
                              "remove stale " + platform::display_path(path));
      } catch (const FatalError& error) {
        warnings.push_back(error.report());
      }
    }
  } catch (const FatalError& error) {
    warnings.push_back(error.report());
  }
  return warnings;
}

SongResult convert_song(const Song& song, const ConvertSettings& settings) {
  const auto started = std::chrono::steady_clock::now();
  const NativeString output = output_path(settings.out_folder, song);
  SongResult result;
  result.name = song.name;
  result.source = song.source;
  result.output = platform::display_path(output);
  const auto finish = [&](SongStatus status, std::string reason) {
    result.status = status;
    result.reason = std::move(reason);
    result.seconds = std::chrono::duration<double>(
                         std::chrono::steady_clock::now() - started)
                         .count();
    return result;
  };

  const NativeString folder = platform::parent_folder(output);
  const NativeString video_name = file_name_part(output);
  Temporaries temporaries;
  bool renamed = false;
  try {
    if (platform::path_or_link_exists(output, "check " + result.output)) {
      return finish(SongStatus::Skipped, "exists");
    }
    if (const auto busy = other_worker(folder, video_name, settings.owner)) {
      return finish(SongStatus::Skipped, *busy);
    }
    platform::ensure_folder(folder,
                            "create folder " + platform::display_path(folder));
    const auto temporary = [&](TemporaryKind kind, std::string_view extension) {
      return platform::join_path(
          folder, temporary_name(video_name, settings.owner, kind, extension));
    };
    // The empty video claims the song at once: another worker that looks
    // now sees that it is taken. Each temporary is ours to remove only once
    // this run has made it.
    const NativeString video_path = temporary(TemporaryKind::Video, {});
    platform::create_new_file(video_path, {},
                              "create " + platform::display_path(video_path));
    temporaries.video = video_path;
    SongInputs inputs = read_inputs(song, temporaries, [&] {
      return temporary(TemporaryKind::Audio, song.audio_extension());
    });
    temporaries.log = temporary(TemporaryKind::Log, {});
    LibraryVideo video;
    video.audio_path = inputs.audio_path;
    video.video_path = temporaries.video;
    video.scale = settings.scale;
    video.pad_16_9 = settings.pad_16_9;
    video.encoder_threads = settings.encoder_threads;
    video.copy_audio = audio_is_copied(song.audio_extension());
    const std::uint64_t frames =
        make_song_video(settings.ffmpeg_path, video, std::move(inputs.graphics),
                        temporaries.log);
    platform::rename_file(temporaries.video, output,
                          "rename " +
                              platform::display_path(temporaries.video) +
                              " to " + result.output);
    renamed = true;
    temporaries.remove(renamed);
    result.frames = frames;
    result.audio_copied = video.copy_audio;
    return finish(SongStatus::Converted, {});
  } catch (const FatalError& error) {
    temporaries.remove(renamed);
    return finish(SongStatus::Failed, error.report());
  } catch (const std::bad_alloc&) {
    temporaries.remove(renamed);
    return finish(SongStatus::Failed, "out of memory");
  }
}

}  // namespace glyphreel
