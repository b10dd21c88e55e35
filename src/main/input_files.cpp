#include "main/input_files.hpp"

#include "base/fatal_error.hpp"

namespace glyphreel {

std::string read_text_file(const platform::NativeString& path,
                           std::string_view what) {
  const auto refuse_past_limit = [&](std::uint64_t length) {
    if (length > largest_text_file) {
      throw FatalError(std::string(what) + " is " + std::to_string(length) +
                       " bytes, more than a text file of its kind can be");
    }
  };
  refuse_past_limit(platform::file_size(path, what));
  // A file without a size (a pipe, a device) is read no further than one
  // byte past the limit.
  const platform::FileHead head = platform::read_file_head(
      path, largest_text_file + 1, "read " + std::string(what));
  refuse_past_limit(head.length);
  return std::string(head.bytes.begin(), head.bytes.end());
}

std::vector<TrackLbaRange> read_disc_toc(const platform::NativeString& path,
                                         std::uint64_t img_sectors,
                                         std::uint64_t cdg_sectors) {
  // A longer table of contents cannot pass its length check, so no more of
  // it is read: /dev/zero given as one fails at once.
  const platform::FileHead toc =
      platform::read_file_head(path, toc_read_limit, "read toc file");
  std::vector<TrackLbaRange> tracks = parse_toc(toc.bytes, toc.length);
  check_ranges(tracks, img_sectors, cdg_sectors);
  return tracks;
}

}  // namespace glyphreel
