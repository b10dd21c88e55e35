#include "main/run_outputs.hpp"

#include <algorithm>
#include <utility>

#include "base/fatal_error.hpp"

namespace glyphreel {

namespace {

// An output is written under its name with this after it, and renamed when
// it is complete.
constexpr std::string_view temporary_suffix = ".partial";

std::string write_step(std::string_view what, const std::string& path) {
  return std::string(what) + " " + path;
}

bool listed(std::span<const std::string> names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

RunOutputs::RunOutputs(NativeString folder) : folder_(std::move(folder)) {}

NativeString RunOutputs::path_of(std::string_view name) const {
  return platform::join_path(folder_, platform::native_from_utf8(name));
}

NativeString RunOutputs::temporary_of(std::string_view name) const {
  return path_of(name) + platform::native_from_ascii(temporary_suffix);
}

std::string RunOutputs::display(std::string_view name) const {
  return platform::display_path(path_of(name));
}

std::string RunOutputs::display_folder() const {
  return platform::display_path(folder_);
}

RunOutputs::Created* RunOutputs::find(std::string_view name) {
  for (std::size_t i = created_.size(); i-- > 0;) {
    if (!created_[i].folder && !created_[i].gone && created_[i].name == name) {
      return &created_[i];
    }
  }
  return nullptr;
}

void RunOutputs::refuse_existing(std::span<const std::string> names) const {
  for (const std::string& name : names) {
    // A link counts, whether or not its target exists.
    if (platform::path_or_link_exists(
            path_of(name), write_step("check for existing", display(name)))) {
      throw FatalError("refusing to overwrite existing " + display(name));
    }
  }
}

void RunOutputs::create_folder(std::span<const std::string> names) {
  const std::string step =
      write_step("create output folder", platform::display_path(folder_));
  for (NativeString& folder : platform::create_directories(folder_, step)) {
    created_.push_back({std::move(folder), platform::OpenFile{}, true, {}});
  }
  update_stop_removals();
  // Only our own names: a run stopped before its renames left them.
  for (const std::string& name : names) {
    const NativeString stale = temporary_of(name);
    const std::string stale_step =
        write_step("remove", platform::display_path(stale));
    if (platform::path_or_link_exists(stale, stale_step)) {
      platform::delete_file(stale, stale_step);
    }
  }
}

NativeString RunOutputs::reserve(std::string_view name) {
  NativeString path = temporary_of(name);
  created_.push_back({path, platform::OpenFile{}, false, std::string(name)});
  update_stop_removals();
  return path;
}

platform::OpenFile& RunOutputs::create(std::string_view name) {
  const NativeString path = temporary_of(name);
  const platform::OpenFile file =
      platform::create_output_file(path, write_step("create", display(name)));
  created_.push_back({path, file, false, std::string(name)});
  update_stop_removals();
  return created_.back().file;
}

void RunOutputs::write(std::string_view name,
                       std::span<const std::uint8_t> bytes) {
  platform::OpenFile& file = create(name);
  platform::append_to_file(file, bytes, write_step("write", display(name)));
  close(file, name);
}

void RunOutputs::close(platform::OpenFile& file, std::string_view name) const {
  platform::close_file(file, write_step("write", display(name)));
}

void RunOutputs::discard(std::string_view name) {
  Created* const found = find(name);
  if (found == nullptr) return;
  Created& made = *found;
  platform::close_file(made.file, "");
  const std::string step =
      write_step("remove", platform::display_path(made.path));
  // A reserved temporary that its child never made is not there.
  if (platform::path_or_link_exists(made.path, step)) {
    platform::delete_file(made.path, step);
  }
  made.gone = true;
  update_stop_removals();
}

void RunOutputs::commit(std::span<const std::string> names) {
  refuse_existing(names);
  // Nothing stands at the own names, so a stop between two renames takes
  // away what is under either name.
  update_stop_removals(names);
  for (const std::string& name : names) {
    Created* const made = find(name);
    if (made == nullptr) {
      throw FatalError("rename " + display(name) + ": it was not written");
    }
    NativeString final_path = path_of(name);
    platform::rename_file(made->path, final_path,
                          write_step("rename", display(name)));
    // Under its own name now: a later failure removes it so.
    made->path = std::move(final_path);
  }
  update_stop_removals();
}

void RunOutputs::keep() {
  created_.clear();
  update_stop_removals();
}

void RunOutputs::update_stop_removals(
    std::span<const std::string> renaming) const {
  std::vector<NativeString> files;
  std::vector<NativeString> folders;
  for (std::size_t i = created_.size(); i-- > 0;) {
    const Created& made = created_[i];
    if (made.gone) continue;
    (made.folder ? folders : files).push_back(made.path);
    if (!made.folder && listed(renaming, made.name)) {
      files.push_back(path_of(made.name));
    }
  }
  platform::remove_when_stopped(files, folders);
}

std::vector<std::string> RunOutputs::remove_all() {
  std::vector<std::string> warnings;
  if (created_.empty()) return warnings;
  // Newest first: a folder is empty only once its files are gone.
  for (std::size_t i = created_.size(); i-- > 0;) {
    Created& made = created_[i];
    if (made.gone) continue;
    try {
      platform::close_file(made.file, "");
      const std::string step =
          write_step("remove", platform::display_path(made.path));
      if (made.folder) {
        platform::remove_directory(made.path, step);
      } else if (platform::path_or_link_exists(made.path, step)) {
        // A reserved temporary that its child never made is not there.
        platform::delete_file(made.path, step);
      }
    } catch (const FatalError& error) {
      warnings.push_back(error.report());
    }
  }
  created_.clear();
  update_stop_removals();
  return warnings;
}

}  // namespace glyphreel
