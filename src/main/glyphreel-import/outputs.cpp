#include "main/glyphreel-import/outputs.hpp"

#include <string>
#include <utility>

#include "main/glyphreel-import/progress.hpp"

namespace glyphreel {

ImportOutputs::ImportOutputs(NativeString folder)
    : outputs_(std::move(folder)),
      names_{std::string(image_file_name), std::string(subcode_file_name),
             std::string(toc_file_name)} {}

void ImportOutputs::refuse_existing() const {
  outputs_.refuse_existing(names_);
}

void ImportOutputs::create_folder() { outputs_.create_folder(names_); }

void ImportOutputs::commit() {
  outputs_.commit(names_);
  outputs_.keep();
}

void ImportOutputs::remove_all() {
  for (const std::string& warning : outputs_.remove_all()) warn(warning);
}

void warn(std::string_view text) {
  end_open_progress_line();
  platform::write_standard_error(
      "glyphreel-import: warning: " + std::string(text) + "\n");
}

}  // namespace glyphreel
