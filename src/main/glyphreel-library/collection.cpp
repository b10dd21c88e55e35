#include "main/glyphreel-library/collection.hpp"

#include <string>
#include <utility>
#include <vector>

#include "archive/zip_reader.hpp"
#include "base/fatal_error.hpp"
#include "library/outputs.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

namespace {

std::string listing_step(const NativeString& folder) {
  return "list " + platform::display_path(folder);
}

// Every file below `folder`, its path below the source as `relative` and
// `name`; dot files, "__MACOSX" and links to folders are passed over. A
// folder that cannot be listed is a failure, and the walk goes on.
void walk_folder(const NativeString& folder, const NativeString& relative,
                 const std::string& name, std::size_t source,
                 std::vector<FoundFile>& found,
                 std::vector<SongFailure>& unreadable) {
  std::vector<platform::FolderEntry> entries;
  try {
    entries = platform::list_folder(folder, listing_step(folder));
  } catch (const FatalError& error) {
    unreadable.push_back(
        {name, platform::display_path(folder), error.report()});
    return;
  }
  for (const platform::FolderEntry& entry : entries) {
    const std::string part = platform::display_path(entry.name);
    if (ignored_in_collection(part)) continue;
    const NativeString path = platform::join_path(folder, entry.name);
    const NativeString below = platform::join_path(relative, entry.name);
    std::string below_name = name;
    if (!below_name.empty()) below_name += '/';
    below_name += part;
    if (entry.is_folder) {
      walk_folder(path, below, below_name, source, found, unreadable);
    } else if (entry.is_file) {
      found.push_back({path, below, below_name, source, Found::InFolder});
    }
  }
}

// A named file, and for a .cdg every file of its folder that may be its
// audio.
void add_named_file(const NativeString& path, std::size_t source,
                    std::vector<FoundFile>& found) {
  const NativeString own_name = file_name_part(path);
  const std::string own_text = platform::display_path(own_name);
  found.push_back({path, own_name, own_text, source, Found::Named});
  if (lower_extension(own_text) != "cdg") return;
  const NativeString folder = platform::parent_folder(path);
  const NativeString listed =
      folder.empty() ? platform::native_from_ascii(".") : folder;
  for (const platform::FolderEntry& entry :
       platform::list_folder(listed, listing_step(listed))) {
    if (!entry.is_file || entry.name == own_name) continue;
    found.push_back({platform::join_path(folder, entry.name), entry.name,
                     platform::display_path(entry.name), source,
                     Found::Beside});
  }
}

// The zip's directory, read through a mapping: a zip of many megabytes has
// only its end and its directory read.
std::vector<ZipEntry> zip_directory(const FoundFile& zip) {
  const std::string name = platform::display_path(zip.path);
  platform::MappedFile mapped = platform::map_file(zip.path, "read " + name);
  try {
    std::vector<ZipEntry> entries = read_zip_directory(mapped.bytes(), name);
    platform::unmap_file(mapped);
    return entries;
  } catch (...) {
    platform::unmap_file(mapped);
    throw;
  }
}

}  // namespace

SongScan scan_collection(std::span<const NativeString> sources) {
  std::vector<FoundFile> found;
  std::vector<SongFailure> unreadable;
  for (std::size_t source = 0; source < sources.size(); ++source) {
    const NativeString& path = sources[source];
    const std::string shown = platform::display_path(path);
    try {
      if (platform::is_folder(path, "read " + shown)) {
        walk_folder(path, {}, {}, source, found, unreadable);
      } else {
        add_named_file(path, source, found);
      }
    } catch (const FatalError& error) {
      unreadable.push_back({shown, shown, error.report()});
    }
  }
  SongScan scan = scan_song_files(found);
  scan.failures.insert(scan.failures.end(), unreadable.begin(),
                       unreadable.end());
  for (const FoundFile& zip : scan.zips) {
    try {
      pair_zip_entries(zip, zip_directory(zip), scan);
    } catch (const FatalError& error) {
      scan.failures.push_back(
          {zip.name, platform::display_path(zip.path), error.report()});
    }
  }
  scan.zips.clear();
  settle_songs(scan);
  return scan;
}

}  // namespace glyphreel
