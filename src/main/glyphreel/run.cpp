#include "main/glyphreel/run.hpp"

#include <new>
#include <string_view>

#include "base/fatal_error.hpp"
#include "disc/spans.hpp"
#include "encoder/encoder.hpp"
#include "main/glyphreel/load_inputs.hpp"
#include "packs/pack_loop.hpp"
#include "platform/platform.hpp"

namespace glyphreel {

void run_conversion(const RunArguments& arguments) {
  // The step under way, for memory that cannot be had: the graphics state
  // and the frames of the pack loop, the encoder's arguments. Loading
  // reports its own.
  std::string_view step = "read inputs";
  try {
    const LoadedInputs inputs = load_inputs(arguments);
    if (platform::path_exists(arguments.raw_path,
                              "check for existing temp raw audio output")) {
      throw FatalError("refusing to overwrite existing temp raw audio output");
    }
    step = "write raw audio";
    write_raw_audio(arguments.raw_path,
                    audio_span(inputs.img, inputs.track_lba_ranges,
                               arguments.start_track, arguments.end_track));
    // Checked only now, so a run stopped here leaves the raw file behind. A
    // link counts whether or not its target exists: the encoder would write
    // the video wherever a dangling one points.
    if (platform::path_or_link_exists(arguments.mp4_path,
                                      "check for existing mp4 output")) {
      throw FatalError("refusing to overwrite existing mp4 output");
    }
    step = "spawn ffmpeg child";
    EncoderProcess encoder = start_encoder(
        {arguments.ffmpeg_path, arguments.raw_path, arguments.mp4_path});
    step = "decode packs";
    run_pack_loop(subcode_span(inputs.cdg, inputs.track_lba_ranges,
                               arguments.start_track, arguments.end_track),
                  arguments.extended_graphics, encoder);
    step = "wait on child process";
    finish_encoder(encoder, arguments.raw_path);
  } catch (const std::bad_alloc&) {
    // The loaded dumps are freed by now, so the report finds memory.
    platform::fail_out_of_memory(step);
  }
}

int run_program(std::span<const NativeString> argv) {
  try {
    const std::optional<RunArguments> arguments = parse_arguments(argv);
    if (!arguments) {
      platform::write_standard_error(usage_text);
      return exit_success;
    }
    run_conversion(*arguments);
    return exit_success;
  } catch (const FatalError& error) {
    platform::write_standard_error(format_report("glyphreel", error));
    return exit_fatal;
  } catch (const std::bad_alloc&) {
    // Not even the report's text could be had.
    platform::write_standard_error("glyphreel: out of memory\n");
    return exit_fatal;
  }
}

}  // namespace glyphreel
