#include "main/glyphreel-import/outputs.hpp"

#include <string>

#include "base/fatal_error.hpp"
#include "main/glyphreel-import/progress.hpp"

namespace glyphreel {

namespace {

constexpr std::string_view all_outputs[] = {image_file_name, subcode_file_name,
                                            toc_file_name};

// A dump is written under its name with this after it, and renamed when
// all three are complete.
constexpr std::string_view temporary_suffix = ".partial";

std::string write_step(std::string_view what, const std::string& path) {
  return std::string(what) + " " + path;
}

}  // namespace

ImportOutputs::ImportOutputs(NativeString folder)
    : folder_(std::move(folder)) {}

NativeString ImportOutputs::path_of(std::string_view name) const {
  return platform::join_path(folder_, platform::native_from_ascii(name));
}

NativeString ImportOutputs::temporary_of(std::string_view name) const {
  return path_of(name) + platform::native_from_ascii(temporary_suffix);
}

std::string ImportOutputs::display(std::string_view name) const {
  return platform::display_path(path_of(name));
}

std::string ImportOutputs::display_folder() const {
  return platform::display_path(folder_);
}

void ImportOutputs::refuse_existing() const {
  for (const std::string_view name : all_outputs) {
    // A link counts, whether or not its target exists.
    if (platform::path_or_link_exists(
            path_of(name), write_step("check for existing", display(name)))) {
      throw FatalError("refusing to overwrite existing " + display(name));
    }
  }
}

void ImportOutputs::create_folder() {
  const std::string step =
      write_step("create output folder", platform::display_path(folder_));
  for (NativeString& folder : platform::create_directories(folder_, step)) {
    created_.push_back({std::move(folder), platform::OpenFile{}, true, {}});
  }
  update_stop_removals();
  // Only our own names: a run stopped before its renames left them.
  for (const std::string_view name : all_outputs) {
    const NativeString stale = temporary_of(name);
    const std::string stale_step =
        write_step("remove", platform::display_path(stale));
    if (platform::path_or_link_exists(stale, stale_step)) {
      platform::delete_file(stale, stale_step);
    }
  }
}

platform::OpenFile& ImportOutputs::create(std::string_view name) {
  const NativeString path = temporary_of(name);
  const platform::OpenFile file =
      platform::create_output_file(path, write_step("create", display(name)));
  created_.push_back({path, file, false, name});
  update_stop_removals();
  return created_.back().file;
}

void ImportOutputs::write(std::string_view name,
                          std::span<const std::uint8_t> bytes) {
  platform::OpenFile& file = create(name);
  platform::append_to_file(file, bytes, write_step("write", display(name)));
  close(file, name);
}

void ImportOutputs::close(platform::OpenFile& file,
                          std::string_view name) const {
  platform::close_file(file, write_step("write", display(name)));
}

void ImportOutputs::commit() {
  refuse_existing();
  // Nothing stands at the own names, so a stop between two renames takes
  // away what is under either name.
  update_stop_removals(true);
  for (Created& made : created_) {
    if (made.folder) continue;
    NativeString final_path = path_of(made.name);
    platform::rename_file(made.path, final_path,
                          write_step("rename", display(made.name)));
    // Under its own name now: a failure of the next rename removes it so.
    made.path = std::move(final_path);
  }
  created_.clear();
  update_stop_removals();
}

void ImportOutputs::update_stop_removals(bool with_own_names) const {
  std::vector<NativeString> files;
  std::vector<NativeString> folders;
  for (std::size_t i = created_.size(); i-- > 0;) {
    const Created& made = created_[i];
    (made.folder ? folders : files).push_back(made.path);
    if (with_own_names && !made.folder) files.push_back(path_of(made.name));
  }
  platform::remove_when_stopped(files, folders);
}

void ImportOutputs::remove_all() {
  if (created_.empty()) return;
  // Newest first: a folder is empty only once its files are gone.
  for (std::size_t i = created_.size(); i-- > 0;) {
    try {
      Created& made = created_[i];
      platform::close_file(made.file, "");
      const std::string step =
          write_step("remove", platform::display_path(made.path));
      if (made.folder) {
        platform::remove_directory(made.path, step);
      } else {
        platform::delete_file(made.path, step);
      }
    } catch (const FatalError& error) {
      warn(error.report());
    }
  }
  created_.clear();
  update_stop_removals();
}

void warn(std::string_view text) {
  end_open_progress_line();
  platform::write_standard_error(
      "glyphreel-import: warning: " + std::string(text) + "\n");
}

}  // namespace glyphreel
