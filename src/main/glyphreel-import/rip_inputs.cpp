// Reading the forms rips come in: a cue sheet with its BIN files and a
// subchannel file (or CDG tracks that carry theirs), a cdrdao TOC file and
// its files of blocks, a CloneCD set. Each becomes a Rip, checked against
// the sizes of its files, that import_rip then imports or checks.
#include <algorithm>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "base/text.hpp"
#include "disc/toc.hpp"
#include "import/cdrdao_toc.hpp"
#include "import/clonecd.hpp"
#include "import/cue_sheet.hpp"
#include "import/text_lines.hpp"
#include "main/glyphreel-import/rip.hpp"
#include "main/glyphreel-import/run.hpp"

namespace glyphreel {

namespace {

constexpr std::uint64_t raw_block_size = img_frame_size + cdg_frame_size;

// The path with its extension, if its name has one, replaced by `extension`.
NativeString with_extension(const NativeString& path,
                            std::string_view extension) {
  NativeString stem = path;
  const std::size_t dot = stem.find_last_of('.');
  if (dot != NativeString::npos &&
      platform::parent_folder(stem.substr(0, dot + 1)) ==
          platform::parent_folder(stem)) {
    stem.resize(dot);
  }
  return stem + platform::native_from_ascii(extension);
}

// A cdrdao TOC file beside the BIN, of the same base name, whose tracks
// carry subchannel in their blocks: its name as reports show it.
std::optional<std::string> cdrdao_toc_beside(const RipFile& bin) {
  const NativeString path = with_extension(bin.path, ".toc");
  const std::string toc_name = platform::display_path(path);
  try {
    if (!platform::path_exists(path, "find " + toc_name)) return std::nullopt;
    const CdrdaoToc toc =
        parse_cdrdao_toc(read_text_file(path, toc_name), toc_name);
    for (const CdrdaoTrack& track : toc.tracks) {
      if (track.subchannel) return toc_name;
    }
  } catch (const FatalError&) {
    // Not a cdrdao TOC file that could say so (a table of contents dump,
    // say): the BIN is taken as the sheet describes it.
  }
  return std::nullopt;
}

// A BIN that the sheet says holds 2352-byte sectors, but that holds
// 2448-byte blocks of audio and subchannel as cdrdao writes them: taken as
// the sheet says, it would import as misframed audio and subchannel.
void refuse_misframed(const RipFile& bin, std::uint64_t bytes) {
  if (const auto toc_name = cdrdao_toc_beside(bin)) {
    throw FatalError(bin.name +
                     " holds 2448-byte blocks with their subchannel, as " +
                     *toc_name +
                     " says, not the 2352-byte sectors of the sheet: import "
                     "the rip with glyphreel-import cdrdao " +
                     *toc_name + " OUTDIR");
  }
  if (bytes % raw_block_size == 0 && bytes % img_frame_size != 0) {
    throw FatalError(
        bin.name +
        " holds 2448-byte blocks (2352 bytes of audio and 96 of "
        "subchannel), not the 2352-byte sectors of the sheet: import a "
        "cdrdao rip with glyphreel-import cdrdao and its TOC file, or mark "
        "the sheet's tracks CDG");
  }
}

// The first line of the TOC file that names the file.
std::size_t line_naming(const CdrdaoToc& toc, std::size_t file) {
  for (const CdrdaoTrack& track : toc.tracks) {
    for (const TocRun& run : track.runs) {
      if (run.file == file) return run.line;
    }
  }
  return 0;
}

}  // namespace

std::optional<std::string> import_cue(const CueArguments& arguments,
                                      ImportOutputs& outputs) {
  const std::string sheet_name = platform::display_path(arguments.sheet_path);
  const CueSheet sheet = parse_cue_sheet(
      read_text_file(arguments.sheet_path, sheet_name), sheet_name);
  if (sheet.cdg && arguments.subchannel_path) {
    return sheet_name +
           " has CDG tracks, whose sectors carry their subchannel: give no "
           "SUBCHANNEL file";
  }
  if (!sheet.cdg && !arguments.subchannel_path) {
    return sheet_name +
           " has no CDG tracks: give the SUBCHANNEL file of its sectors";
  }
  const NativeString folder = platform::parent_folder(arguments.sheet_path);
  Rip rip;
  std::vector<std::uint64_t> file_sectors;
  for (const std::string& file : sheet.files) {
    // Named in reports as the sheet has it, escaped: it comes from a file.
    RipFile bin{locate_input(folder, platform::native_from_utf8(file)),
                escape_text(file)};
    const std::uint64_t bytes = platform::file_size(bin.path, bin.name);
    if (!sheet.cdg) refuse_misframed(bin, bytes);
    file_sectors.push_back(
        whole_units(bytes, bin.name,
                    sheet.cdg ? raw_block_size : img_frame_size, "sectors"));
    rip.files.push_back(std::move(bin));
  }
  CueLayout layout = cue_layout(sheet, file_sectors);
  rip.runs = std::move(layout.runs);
  rip.tracks = std::move(layout.tracks);
  rip.lead_out_lba = layout.lead_out_lba;
  if (arguments.subchannel_path) {
    rip.subchannel_file =
        RipFile{*arguments.subchannel_path,
                platform::display_path(*arguments.subchannel_path)};
  }
  rip.form = arguments.form;
  rip.start = arguments.sub_start;
  import_rip(rip, arguments.options, outputs);
  return std::nullopt;
}

void import_cdrdao(const CdrdaoArguments& arguments, ImportOutputs& outputs) {
  const std::string toc_name = platform::display_path(arguments.toc_path);
  const CdrdaoToc toc =
      parse_cdrdao_toc(read_text_file(arguments.toc_path, toc_name), toc_name);
  const NativeString folder = platform::parent_folder(arguments.toc_path);
  Rip rip;
  std::vector<TocFileExtent> extents;
  for (std::size_t f = 0; f < toc.files.size(); ++f) {
    const TocFile& file = toc.files[f];
    if (file.wave) {
      throw refusal(toc_name, line_naming(toc, f),
                    quote_argument(file.name) +
                        " is a WAVE file: only raw files of blocks, as "
                        "cdrdao read-cd writes them, are read");
    }
    RipFile source{locate_input(folder, platform::native_from_utf8(file.name)),
                   escape_text(file.name)};
    extents.push_back({0, platform::file_size(source.path, source.name)});
    rip.files.push_back(std::move(source));
  }
  CdrdaoLayout layout = cdrdao_layout(toc, extents, toc_name);
  if (!layout.subchannel) {
    throw FatalError(toc_name +
                     " has no track with a sub-channel mode (RW_RAW or RW): "
                     "the rip holds no graphics; rip the disc again with "
                     "cdrdao read-cd --read-subchan rw_raw");
  }
  rip.runs = std::move(layout.runs);
  rip.tracks = std::move(layout.tracks);
  rip.lead_out_lba = layout.lead_out_lba;
  rip.form = *layout.subchannel;
  import_rip(rip, arguments.options, outputs);
}

void import_clonecd(const CloneCdArguments& arguments, ImportOutputs& outputs) {
  const std::string ccd_name = platform::display_path(arguments.ccd_path);
  const CloneCdDisc disc =
      parse_clonecd(read_text_file(arguments.ccd_path, ccd_name), ccd_name);

  // The image and the subchannel share the control file's stem, whatever
  // the case of their names.
  const NativeString image_path =
      locate_input({}, with_extension(arguments.ccd_path, ".img"));
  const NativeString sub_path =
      locate_input({}, with_extension(arguments.ccd_path, ".sub"));
  Rip rip;
  rip.files.push_back({image_path, platform::display_path(image_path)});
  const RipFile& image = rip.files.front();
  const std::uint64_t image_sectors =
      whole_units(platform::file_size(image.path, image.name), image.name,
                  img_frame_size, "sectors");
  if (image_sectors < disc.lead_out_lba) {
    throw FatalError(image.name + " holds " + sectors_text(image_sectors) +
                     ", fewer than the first session's lead-out at sector " +
                     std::to_string(disc.lead_out_lba));
  }
  rip.runs.push_back(
      {.sectors = disc.lead_out_lba, .file = 0, .block_size = img_frame_size});
  rip.tracks = disc.tracks;
  rip.lead_out_lba = disc.lead_out_lba;
  rip.subchannel_file = RipFile{sub_path, platform::display_path(sub_path)};
  rip.form = SubchannelForm::Packed;
  // The .sub runs alongside the whole image, one record per sector.
  const std::uint64_t sub_size =
      platform::file_size(sub_path, rip.subchannel_file->name);
  if (sub_size != image_sectors * subchannel_record_size) {
    throw FatalError(rip.subchannel_file->name + " holds " +
                     std::to_string(sub_size) + " bytes, but the image's " +
                     sectors_text(image_sectors) + " need " +
                     std::to_string(image_sectors * subchannel_record_size) +
                     ", 96 for each");
  }
  if (disc.sessions > 1) {
    warn("the disc has " + std::to_string(disc.sessions) +
         " sessions: only the first session is imported");
  }
  import_rip(rip, arguments.options, outputs);
}

}  // namespace glyphreel
