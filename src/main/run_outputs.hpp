// The files a run writes into one output folder, and the list of what it
// created there, so that a failed or stopped run can take it all away
// again. Each output is written under a temporary name, its own name with
// ".partial" after it, and takes its own name only when it is complete.
#pragma once

#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"

namespace glyphreel {

using platform::NativeString;

class RunOutputs {
 public:
  explicit RunOutputs(NativeString folder);

  // A fatal stop "refusing to overwrite existing <path>" when anything, a
  // link included, stands at the path of any of the named outputs (UTF-8
  // names in the folder). Writes nothing.
  void refuse_existing(std::span<const std::string> names) const;

  // Creates the folder and its missing parents, which are remembered, and
  // removes the temporaries of the named outputs that a stopped run may
  // have left in it.
  void create_folder(std::span<const std::string> names);

  // The temporary of an output, remembered, for a child process to create.
  NativeString reserve(std::string_view name);

  // Creates the temporary of an output (never over anything, nor through a
  // link) and remembers it. The reference stays valid for the run.
  platform::OpenFile& create(std::string_view name);

  // Creates an output's temporary, writes all bytes, closes it.
  void write(std::string_view name, std::span<const std::uint8_t> bytes);

  // Closes a file made by create(), reporting a deferred write error.
  void close(platform::OpenFile& file, std::string_view name) const;

  // Removes an output, reserved, created or committed, and forgets it: one
  // that failed, or one only needed on the way to another. A name that the
  // run does not hold is left alone.
  void discard(std::string_view name);

  // Gives each named output, written and closed, its own name, after
  // checking again that nothing has come to stand at any of them. They stay
  // on the list: a later failure of the run removes them as well.
  void commit(std::span<const std::string> names);

  // Once the run has succeeded: what it made is the user's from now on, and
  // remove_all leaves it.
  void keep();

  // After a failure, from the one reporting point: closes what is still
  // open and removes every file and folder this run created, newest first.
  // Returns a warning for each that could not be removed.
  std::vector<std::string> remove_all();

  // "<folder>/<name>" as the reports show it.
  std::string display(std::string_view name) const;

  // The folder as the reports show it.
  std::string display_folder() const;

 private:
  struct Created {
    NativeString path;
    platform::OpenFile file;  // open while being written; -1 otherwise
    bool folder = false;
    std::string name;   // an output's own name; empty for folders
    bool gone = false;  // discarded: nothing of it is left to remove
  };

  NativeString path_of(std::string_view name) const;
  NativeString temporary_of(std::string_view name) const;
  // The output's entry that is not gone; nullptr when there is none.
  Created* find(std::string_view name);

  // Hands the list of what was created to the handler of stops; with the
  // named outputs' own names too while they are renamed.
  void update_stop_removals(std::span<const std::string> renaming = {}) const;

  NativeString folder_;
  std::deque<Created> created_;  // in the order made; deque keeps references
};

}  // namespace glyphreel
