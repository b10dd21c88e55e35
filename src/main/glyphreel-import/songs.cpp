// Importing song files: each .cdg with its audio, decoded by an ffmpeg
// child to the disc's PCM, becomes one track.
#include "import/songs.hpp"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "disc/toc.hpp"
#include "disc/toc_writer.hpp"
#include "encoder/literal_path.hpp"
#include "main/glyphreel-import/progress.hpp"
#include "main/glyphreel-import/run.hpp"

namespace glyphreel {

namespace {

struct Song {
  std::string graphics_name;
  std::string audio_name;
  std::vector<std::uint8_t> graphics;  // whole packs only
};

// ffmpeg writes the audio as the disc holds it: 16-bit little-endian
// stereo at 44100 Hz, on its standard output. The audio path is given so
// that ffmpeg reads that very file, not a protocol its name resembles.
std::vector<NativeString> decoder_arguments(const NativeString& audio_path) {
  std::vector<NativeString> arguments;
  for (const char* word : {"-nostdin", "-v", "error", "-i"}) {
    arguments.push_back(platform::native_from_ascii(word));
  }
  arguments.push_back(literal_path_argument(audio_path));
  for (const char* word : {"-f", "s16le", "-ar", "44100", "-ac", "2", "-"}) {
    arguments.push_back(platform::native_from_ascii(word));
  }
  return arguments;
}

// Appends the decoded audio to the image as it comes; returns its bytes.
std::uint64_t decode_audio(const SongsArguments& arguments,
                           const SongPair& pair, const Song& song,
                           platform::OpenFile& image,
                           const std::string& image_step) {
  platform::OutputChild child = platform::spawn_with_output_pipe(
      arguments.ffmpeg_path, decoder_arguments(pair.audio_path),
      "spawn ffmpeg child");
  Progress progress =
      Progress::on_standard_error("decoding " + song.audio_name, 0);
  std::vector<std::uint8_t> buffer(copy_chunk_size);
  std::uint64_t bytes = 0;
  for (;;) {
    const std::size_t got =
        platform::read_from_child(child, buffer, "read from ffmpeg child");
    platform::append_to_file(image, std::span(buffer.data(), got), image_step);
    bytes += got;
    progress.update(bytes / img_frame_size);
    if (got < buffer.size()) break;
  }
  platform::close_child_output(child);
  const platform::ExitStatus status =
      platform::wait_for_child(child.process, "wait on ffmpeg child");
  if (!status.success()) {
    throw FatalError("ffmpeg exited unsuccessfully decoding " +
                     song.audio_name + ": " + platform::describe(status));
  }
  progress.finish();
  return bytes;
}

// Every graphics file read and every audio file found, before anything is
// written.
std::vector<Song> read_songs(const SongsArguments& arguments) {
  std::vector<Song> songs;
  for (const SongPair& pair : arguments.songs) {
    Song song{platform::display_path(pair.graphics_path),
              platform::display_path(pair.audio_path),
              {}};
    song.graphics = platform::read_whole_file(pair.graphics_path,
                                              "read " + song.graphics_name);
    const std::uint64_t whole = whole_pack_bytes(song.graphics.size());
    if (whole != song.graphics.size()) {
      warn(song.graphics_name + ": the last " +
           std::to_string(song.graphics.size() - whole) +
           " bytes are not a whole 24-byte pack and are dropped");
      song.graphics.resize(whole);
    }
    // Opened only so that an audio file that is missing or cannot be read
    // is named before anything is written; the decoder reads it.
    platform::OpenFile audio =
        platform::open_input_file(pair.audio_path, "read " + song.audio_name);
    platform::close_file(audio, "");
    songs.push_back(std::move(song));
  }
  // A disc holds at most so many tracks: ask the writer of the table of
  // contents now, with one sector a track, rather than after the decoding.
  std::vector<TocTrack> provisional(songs.size());
  for (std::size_t i = 0; i < songs.size(); ++i) provisional[i].start_lba = i;
  build_toc(provisional, songs.size());
  return songs;
}

}  // namespace

void import_songs(const SongsArguments& arguments, ImportOutputs& outputs) {
  const std::vector<Song> songs = read_songs(arguments);
  outputs.refuse_existing();
  outputs.create_folder();
  platform::OpenFile& image = outputs.create(image_file_name);
  const std::string image_step = "write " + outputs.display(image_file_name);

  std::vector<TocTrack> tracks;
  std::vector<std::uint8_t> cdg;
  const std::vector<std::uint8_t> silence(copy_chunk_size, 0);
  std::uint64_t lead_out = 0;
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const Song& song = songs[i];
    const std::uint64_t audio_bytes =
        decode_audio(arguments, arguments.songs[i], song, image, image_step);
    const std::uint64_t sectors =
        song_track_sectors(audio_bytes, song.graphics.size());
    if (sectors == 0) {
      throw FatalError("neither " + song.audio_name + " nor " +
                       song.graphics_name +
                       " holds anything: a track needs at least one sector");
    }
    // The audio padded with silence to the track's end.
    std::uint64_t padding = sectors * img_frame_size - audio_bytes;
    while (padding > 0) {
      const std::size_t piece = static_cast<std::size_t>(
          std::min<std::uint64_t>(padding, silence.size()));
      platform::append_to_file(image, std::span(silence.data(), piece),
                               image_step);
      padding -= piece;
    }
    append_song_subcode(cdg, song.graphics, sectors);
    tracks.push_back(TocTrack{lead_out, false});
    lead_out += sectors;
  }
  outputs.close(image, image_file_name);
  outputs.write(subcode_file_name, cdg);
  outputs.write(toc_file_name, build_toc(tracks, lead_out));
  outputs.commit();
}

}  // namespace glyphreel
