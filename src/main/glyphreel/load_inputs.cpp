#include "main/glyphreel/load_inputs.hpp"

#include <utility>

#include "base/fatal_error.hpp"
#include "disc/spans.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

namespace {

void check_whole_sectors(const std::vector<std::uint8_t>& file,
                         std::uint64_t sector_size, const char* what) {
  const std::uint64_t remainder = file.size() % sector_size;
  if (remainder != 0) throw FatalError::equality(what, remainder, 0);
}

}  // namespace

LoadedInputs load_inputs(const RunArguments& arguments) {
  LoadedInputs inputs;
  inputs.img = platform::read_whole_file(arguments.img_path, "read img file");
  check_whole_sectors(inputs.img, img_frame_size,
                      "disc image is not a whole number of 2352-byte sectors "
                      "(length % 2352 == 0)");
  inputs.cdg = platform::read_whole_file(arguments.cdg_path, "read cdg file");
  check_whole_sectors(inputs.cdg, cdg_frame_size,
                      "subcode dump is not a whole number of 96-byte sectors "
                      "(length % 96 == 0)");
  // A longer table of contents cannot pass its length check, so no more of
  // it is read: /dev/zero given as one fails at once.
  platform::FileHead toc = platform::read_file_head(
      arguments.toc_path, toc_read_limit, "read toc file");
  inputs.toc = std::move(toc.bytes);
  inputs.track_lba_ranges = parse_toc(inputs.toc, toc.length);
  check_ranges(inputs.track_lba_ranges, inputs.img.size() / img_frame_size,
               inputs.cdg.size() / cdg_frame_size);
  check_track_indices(inputs.track_lba_ranges, arguments.start_track,
                      arguments.end_track);
  return inputs;
}

}  // namespace glyphreel
