#include "main/glyphreel-import/outputs.hpp"

#include <string>

#include "base/fatal_error.hpp"
#include "main/glyphreel-import/progress.hpp"

namespace glyphreel {

namespace {

constexpr std::string_view all_outputs[] = {image_file_name, subcode_file_name,
                                            toc_file_name};

std::string write_step(std::string_view what, const std::string& path) {
  return std::string(what) + " " + path;
}

}  // namespace

ImportOutputs::ImportOutputs(NativeString folder)
    : folder_(std::move(folder)) {}

NativeString ImportOutputs::path_of(std::string_view name) const {
  return platform::join_path(folder_, platform::native_from_ascii(name));
}

std::string ImportOutputs::display(std::string_view name) const {
  return platform::display_path(path_of(name));
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
    created_.push_back({std::move(folder), platform::OpenFile{}, true});
  }
}

platform::OpenFile& ImportOutputs::create(std::string_view name) {
  const NativeString path = path_of(name);
  const platform::OpenFile file =
      platform::create_output_file(path, write_step("create", display(name)));
  return created_.emplace_back(Created{path, file, false}).file;
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

void ImportOutputs::remove_all() {
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
}

void warn(std::string_view text) {
  end_open_progress_line();
  platform::write_standard_error(
      "glyphreel-import: warning: " + std::string(text) + "\n");
}

}  // namespace glyphreel
