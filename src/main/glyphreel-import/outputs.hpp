// The three dumps an import writes into its output folder, through the
// outputs of a run: written under temporary names, they take their own only
// when all three are complete, and a failed or stopped run takes away all
// it made.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "main/run_outputs.hpp"

namespace glyphreel {

inline constexpr std::string_view image_file_name = "disc.img";
inline constexpr std::string_view subcode_file_name = "disc.cdg";
inline constexpr std::string_view toc_file_name = "disc.toc";

class ImportOutputs {
 public:
  explicit ImportOutputs(NativeString folder);

  // A fatal stop "refusing to overwrite existing <path>" when anything, a
  // link included, stands at the path of any of the three dumps. Writes
  // nothing.
  void refuse_existing() const;

  // Creates the folder and its missing parents, which are remembered, and
  // removes the temporaries of the three dumps ("disc.img.partial") that a
  // stopped run may have left in it.
  void create_folder();

  // Creates the temporary of a dump in the folder (never over anything, nor
  // through a link) and remembers it. The reference stays valid for the
  // run.
  platform::OpenFile& create(std::string_view name) {
    return outputs_.create(name);
  }

  // Creates a dump's temporary, writes all bytes, closes it.
  void write(std::string_view name, std::span<const std::uint8_t> bytes) {
    outputs_.write(name, bytes);
  }

  // Closes a file made by create(), reporting a deferred write error.
  void close(platform::OpenFile& file, std::string_view name) const {
    outputs_.close(file, name);
  }

  // Once every dump is written and closed: gives each its own name, after
  // checking again that nothing has come to stand there. From then on what
  // the run made is the user's, and remove_all leaves it.
  void commit();

  // After a failure, from the one reporting point: closes what is still
  // open and removes every file and folder this run created, newest first.
  // What cannot be removed is named in a warning.
  void remove_all();

  // "<folder>/<name>" as the reports show it.
  std::string display(std::string_view name) const {
    return outputs_.display(name);
  }

  // The folder as the reports show it.
  std::string display_folder() const { return outputs_.display_folder(); }

 private:
  RunOutputs outputs_;
  std::array<std::string, 3> names_;
};

// Writes "glyphreel-import: warning: <text>" to standard error.
void warn(std::string_view text);

}  // namespace glyphreel
