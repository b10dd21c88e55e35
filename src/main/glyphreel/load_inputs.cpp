#include "main/glyphreel/load_inputs.hpp"

#include "disc/spans.hpp"
#include "main/input_files.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

LoadedInputs load_inputs(const RunArguments& arguments) {
  LoadedInputs inputs;
  inputs.img = platform::read_whole_file(arguments.img_path, "read img file");
  const std::uint64_t img_sectors = image_sectors(inputs.img.size());
  inputs.cdg = platform::read_whole_file(arguments.cdg_path, "read cdg file");
  const std::uint64_t cdg_sectors = subcode_sectors(inputs.cdg.size());
  inputs.track_lba_ranges =
      read_disc_toc(arguments.toc_path, img_sectors, cdg_sectors);
  check_track_indices(inputs.track_lba_ranges, arguments.start_track,
                      arguments.end_track);
  return inputs;
}

}  // namespace glyphreel
