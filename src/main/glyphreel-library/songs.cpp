#include "main/glyphreel-library/songs.hpp"

#include <optional>
#include <string>
#include <vector>

#include "archive/zip_writer.hpp"
#include "base/fatal_error.hpp"
#include "disc/spans.hpp"
#include "library/song_scan.hpp"
#include "main/glyphreel-library/ffmpeg_child.hpp"
#include "main/input_files.hpp"
#include "main/run_outputs.hpp"

namespace glyphreel {

namespace {

// The three dumps in DISC_DIR, as glyphreel-import writes them.
constexpr std::string_view image_name = "disc.img";
constexpr std::string_view subcode_name = "disc.cdg";
constexpr std::string_view toc_name = "disc.toc";

// A track chosen on the command line, and what of the dumps is its own:
// from its first sector to the next track's.
struct TrackSong {
  std::uint64_t number = 0;
  std::string name;
  std::span<const std::uint8_t> audio;
  std::span<const std::uint8_t> subcode;
  std::uint64_t graphics_packs = 0;
};

void warn(std::string_view text) {
  platform::write_standard_error(
      "glyphreel-library: warning: " + std::string(text) + "\n");
}

// The CD-TEXT of the sheet: a cue sheet when its name ends in .cue, a
// cdrdao TOC file otherwise.
DiscNames read_names(const NativeString& path) {
  const std::string name = platform::display_path(path);
  const std::string text = read_text_file(path, name);
  return lower_extension(name) == "cue"
             ? disc_names(parse_cue_sheet(text, name))
             : disc_names(parse_cdrdao_toc(text, name));
}

// The chosen tracks, every one of the disc's unless --tracks names some.
std::vector<TrackSong> choose_tracks(const std::vector<TrackLbaRange>& tracks,
                                     const std::optional<TrackRange>& range,
                                     const DiscNames* names,
                                     std::span<const std::uint8_t> img,
                                     std::span<const std::uint8_t> cdg) {
  const TrackRange chosen = range.value_or(TrackRange{1, tracks.size()});
  if (range && chosen.last > tracks.size()) {
    throw FatalError("--tracks " + std::to_string(chosen.first) + "-" +
                     std::to_string(chosen.last) + " asks for track " +
                     std::to_string(chosen.last) + " of a disc of " +
                     std::to_string(tracks.size()) + " tracks");
  }
  std::vector<TrackSong> songs;
  for (std::uint64_t number = chosen.first; number <= chosen.last; ++number) {
    TrackSong song;
    song.number = number;
    song.name = song_name(number, names ? *names : DiscNames{});
    song.audio = audio_span(img, tracks, number, number);
    song.subcode = subcode_span(cdg, tracks, number, number);
    song.graphics_packs = graphics_pack_count(song.subcode);
    songs.push_back(song);
  }
  return songs;
}

// Writes the songs of one run, each under its temporaries first.
class SongWriter {
 public:
  SongWriter(const DiscSongsArguments& arguments, RunOutputs& outputs)
      : arguments_(arguments), outputs_(outputs), dos_time_([] {
          const platform::LocalTime now = platform::local_time_now();
          return dos_date_time(now.year, now.month, now.day, now.hour,
                               now.minute, now.second);
        }()) {}

  // The song's files in place, or a failure that left none of them.
  TrackOutcome write(const TrackSong& song) {
    TrackOutcome outcome{song.number,
                         song.name,
                         song.audio.size() / img_frame_size,
                         song.graphics_packs,
                         TrackStatus::Written,
                         {}};
    if (song.graphics_packs == 0) {
      outcome.status = TrackStatus::Skipped;
      outcome.reason = "no graphics";
      return outcome;
    }
    try {
      write_files(song);
    } catch (const FatalError& error) {
      outcome.status = TrackStatus::Failed;
      outcome.reason = error.report();
      for (const std::string& name : song_scratch_files(
               song.name, arguments_.audio, arguments_.folders)) {
        try {
          outputs_.discard(name);
        } catch (const FatalError& left) {
          warn(left.report());
        }
      }
    }
    return outcome;
  }

 private:
  // The track's samples through an ffmpeg child into the temporary of
  // `audio_name`; its messages go to "<name>.log", removed when it
  // succeeds. Returns the temporary's path.
  NativeString encode_audio(const TrackSong& song,
                            const std::string& audio_name) {
    NativeString audio_path = outputs_.reserve(audio_name);
    const std::string log_name = song.name + ".log";
    const NativeString log_path = outputs_.reserve(log_name);
    platform::ChildProcess child = platform::spawn_logged_with_input_pipe(
        arguments_.ffmpeg_path,
        song_audio_arguments(arguments_.audio, audio_path), log_path,
        "spawn ffmpeg child");
    feed_child(child, log_path, [&] {
      platform::write_to_child(child, song.audio, "write audio to ffmpeg");
    });
    outputs_.discard(log_name);
    return audio_path;
  }

  void write_files(const TrackSong& song) {
    const std::string audio_name =
        song.name + "." + std::string(audio_word(arguments_.audio));
    const std::string graphics_name = song.name + ".cdg";
    const NativeString audio_path = encode_audio(song, audio_name);
    if (arguments_.folders) {
      outputs_.write(graphics_name, song.subcode);
      outputs_.commit(std::vector{graphics_name, audio_name});
      return;
    }
    const std::vector<std::uint8_t> audio = platform::read_whole_file(
        audio_path, "read " + platform::display_path(audio_path));
    // The graphics compress well; the audio is compressed already, or
    // lossless and left whole for players that read it straight away.
    const ZipMember members[] = {{graphics_name, song.subcode, true},
                                 {audio_name, audio, false}};
    const std::string zip_name = song.name + ".zip";
    outputs_.write(zip_name, zip_archive(members, dos_time_));
    outputs_.discard(audio_name);
    outputs_.commit(std::vector{zip_name});
  }

  const DiscSongsArguments& arguments_;
  RunOutputs& outputs_;
  std::uint32_t dos_time_;
};

// The report's lines as the tracks are done. A report that cannot be
// written stops the reporting, not the songs; the run fails at its end.
class TrackReport {
 public:
  void add(const TrackOutcome& outcome) {
    outcomes_.push_back(outcome);
    if (failure_) return;
    try {
      platform::write_standard_output(track_line(outcome), "write report");
    } catch (const FatalError& error) {
      failure_ = error.report();
    }
  }

  // The summary on standard error; the exit status.
  int finish(const RunOutputs& outputs) const {
    if (failure_) {
      throw FatalError(
          "the songs in " + outputs.display_folder() +
          " are written, but their report could not be: " + *failure_);
    }
    platform::write_standard_error(
        "glyphreel-library: " + songs_summary(outcomes_) + "\n");
    for (const TrackOutcome& outcome : outcomes_) {
      if (outcome.status == TrackStatus::Failed) return exit_library_failure;
    }
    return exit_success;
  }

 private:
  std::vector<TrackOutcome> outcomes_;
  std::optional<std::string> failure_;
};

int write_songs(const DiscSongsArguments& arguments,
                const std::vector<TrackSong>& songs, RunOutputs& outputs) {
  std::vector<std::string> finals;
  std::vector<std::string> scratch;
  for (const TrackSong& song : songs) {
    if (song.graphics_packs == 0) continue;
    for (std::string& name :
         song_outputs(song.name, arguments.audio, arguments.folders)) {
      finals.push_back(std::move(name));
    }
    for (std::string& name :
         song_scratch_files(song.name, arguments.audio, arguments.folders)) {
      scratch.push_back(std::move(name));
    }
  }
  outputs.refuse_existing(finals);
  if (!finals.empty()) outputs.create_folder(scratch);
  SongWriter writer(arguments, outputs);
  TrackReport report;
  bool written = false;
  for (const TrackSong& song : songs) {
    const TrackOutcome outcome = writer.write(song);
    written |= outcome.status == TrackStatus::Written;
    report.add(outcome);
  }
  if (written) {
    outputs.keep();
  } else {
    // Only folders are left of a run that wrote no song: they go too.
    for (const std::string& warning : outputs.remove_all()) warn(warning);
  }
  return report.finish(outputs);
}

}  // namespace

int run_songs(const DiscSongsArguments& arguments) {
  std::optional<DiscNames> names;
  if (arguments.names_path) names = read_names(*arguments.names_path);
  const auto dump = [&](std::string_view name) {
    return platform::join_path(arguments.disc_folder,
                               platform::native_from_ascii(name));
  };
  const NativeString image_path = dump(image_name);
  const NativeString subcode_path = dump(subcode_name);
  RunOutputs outputs(arguments.out_folder);
  platform::MappedFile img;
  platform::MappedFile cdg;
  try {
    img = platform::map_file(image_path,
                             "read " + platform::display_path(image_path));
    const std::uint64_t img_sectors = image_sectors(img.size);
    cdg = platform::map_file(subcode_path,
                             "read " + platform::display_path(subcode_path));
    const std::uint64_t cdg_sectors = subcode_sectors(cdg.size);
    const std::vector<TrackLbaRange> tracks =
        read_disc_toc(dump(toc_name), img_sectors, cdg_sectors);
    if (names && names->tracks.size() != tracks.size()) {
      throw FatalError(platform::display_path(*arguments.names_path) +
                       " names " + std::to_string(names->tracks.size()) +
                       " tracks, the disc has " +
                       std::to_string(tracks.size()));
    }
    const std::vector<TrackSong> songs =
        choose_tracks(tracks, arguments.tracks, names ? &*names : nullptr,
                      img.bytes(), cdg.bytes());
    const int status = write_songs(arguments, songs, outputs);
    platform::unmap_file(img);
    platform::unmap_file(cdg);
    return status;
  } catch (...) {
    // The one reporting point, in run_library, reports the reason.
    for (const std::string& warning : outputs.remove_all()) warn(warning);
    platform::unmap_file(img);
    platform::unmap_file(cdg);
    throw;
  }
}

}  // namespace glyphreel
