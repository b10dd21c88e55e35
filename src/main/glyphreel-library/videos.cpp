#include "main/glyphreel-library/videos.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/fatal_error.hpp"
#include "encoder/library_settings.hpp"
#include "library/outputs.hpp"
#include "main/glyphreel-library/collection.hpp"
#include "main/glyphreel-library/convert.hpp"
#include "main/glyphreel-library/status.hpp"

namespace glyphreel {

namespace {

// How often the progress line on a terminal is redrawn while songs last.
constexpr std::chrono::seconds redraw_interval{1};

// This worker's share of what was found.
SongScan share(SongScan scan, const Shard& shard) {
  std::erase_if(scan.songs,
                [&](const Song& song) { return !in_shard(song.name, shard); });
  std::erase_if(scan.failures, [&](const SongFailure& failure) {
    return !in_shard(failure.name, shard);
  });
  return scan;
}

int list_songs(const SongScan& scan, const NativeString& out_folder) {
  std::string text;
  for (const Song& song : scan.songs) {
    const NativeString output = output_path(out_folder, song);
    const bool done = platform::path_or_link_exists(
        output, "check " + platform::display_path(output));
    text += list_line(song.name, song.source, song.audio, done);
  }
  platform::write_standard_output(text, "write list");
  for (const SongFailure& failure : scan.failures) {
    platform::write_standard_error("glyphreel-library: " + failure.source +
                                   ": " + failure.reason + "\n");
  }
  return scan.failures.empty() ? exit_success : exit_library_failure;
}

SongResult failed_result(const SongFailure& failure) {
  SongResult result;
  result.name = failure.name;
  result.source = failure.source;
  result.status = SongStatus::Failed;
  result.reason = failure.reason;
  return result;
}

// Clears what runs of this host left in the folders of every song found,
// this worker's share or not: they may have had other shares.
void clear_all_stale(const SongScan& everything,
                     const ConvertSettings& settings, RunStatus& status) {
  std::set<NativeString> folders;
  for (const Song& song : everything.songs) {
    folders.insert(
        platform::parent_folder(output_path(settings.out_folder, song)));
  }
  for (const NativeString& folder : folders) {
    for (const std::string& warning :
         clear_stale_temporaries(folder, settings.owner)) {
      status.warn(warning);
    }
  }
}

// Converts the songs, `jobs` at a time, each worker taking the next song
// not yet taken.
void convert_songs(const std::vector<Song>& songs, unsigned jobs,
                   const ConvertSettings& settings, RunStatus& status) {
  std::atomic<std::size_t> next{0};
  std::mutex mutex;
  std::condition_variable all_done;
  const unsigned workers =
      static_cast<unsigned>(std::min<std::size_t>(jobs, songs.size()));
  std::size_t running = workers;
  const auto work = [&] {
    for (std::size_t i = next++; i < songs.size(); i = next++) {
      status.finished(convert_song(songs[i], settings));
    }
    const std::lock_guard<std::mutex> lock(mutex);
    --running;
    all_done.notify_one();
  };
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < workers; ++i) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error& error) {
      // The workers that did start take every song between them.
      const std::lock_guard<std::mutex> lock(mutex);
      running -= workers - i;
      if (threads.empty()) {
        throw FatalError("start a worker thread: " + std::string(error.what()));
      }
      break;
    }
  }
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (!all_done.wait_for(lock, redraw_interval,
                              [&] { return running == 0; })) {
      lock.unlock();
      status.redraw();
      lock.lock();
    }
  }
  for (std::thread& thread : threads) thread.join();
}

// The run's own number in its temporaries' names: from the system's random
// source, or from the clock where there is none.
std::uint32_t run_number() {
  try {
    return std::random_device{}();
  } catch (const std::exception&) {
    return static_cast<std::uint32_t>(
        std::chrono::system_clock::now().time_since_epoch().count());
  }
}

}  // namespace

int run_videos(const VideosArguments& arguments) {
  const SongScan everything = scan_collection(arguments.sources);
  const SongScan mine = share(everything, arguments.shard);
  if (arguments.list) return list_songs(mine, arguments.out_folder);

  ConvertSettings settings;
  settings.out_folder = arguments.out_folder;
  settings.ffmpeg_path = arguments.ffmpeg_path;
  settings.scale = arguments.scale;
  settings.pad_16_9 = arguments.pad_16_9;
  settings.owner = {host_label(platform::host_name()), platform::process_id(),
                    run_number()};
  platform::ensure_folder(
      arguments.out_folder,
      "create output folder " + platform::display_path(arguments.out_folder));

  RunStatus status(mine.songs.size() + mine.failures.size(),
                   platform::standard_error_is_terminal(),
                   arguments.results_path);
  for (const SongFailure& failure : mine.failures) {
    status.finished(failed_result(failure));
  }
  clear_all_stale(everything, settings, status);
  const unsigned processors = platform::processor_count();
  const unsigned jobs =
      arguments.jobs != 0 ? arguments.jobs : default_job_count(processors);
  settings.encoder_threads = encoder_thread_count(
      processors,
      static_cast<unsigned>(std::min<std::size_t>(jobs, mine.songs.size())));
  convert_songs(mine.songs, jobs, settings, status);
  const Tally tally = status.finish();
  return tally.failed == 0 ? exit_success : exit_library_failure;
}

}  // namespace glyphreel
