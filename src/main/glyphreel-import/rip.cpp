// Importing rips: a cue sheet with BIN files and a raw subchannel file, or a
// CloneCD set. Both end in the same steps: the image copied sector for
// sector, the subchannel cooked and corrected, the table of contents built.
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "base/text.hpp"
#include "disc/toc.hpp"
#include "disc/toc_writer.hpp"
#include "import/clonecd.hpp"
#include "import/cue_sheet.hpp"
#include "main/glyphreel-import/progress.hpp"
#include "main/glyphreel-import/run.hpp"
#include "subchannel/deinterleave.hpp"

namespace glyphreel {

namespace {

// The first `sectors` sectors of one file make the next part of the image.
struct ImagePiece {
  NativeString path;
  std::string name;  // as reports show it
  std::uint64_t sectors = 0;
};

struct SubchannelSource {
  NativeString path;
  std::string name;
  SubchannelForm form = SubchannelForm::Interleaved;
  std::int64_t first_lba = 0;  // image sector of the first record
};

// A rip whose inputs have all been checked.
struct Rip {
  std::vector<ImagePiece> image;
  SubchannelSource subchannel;
  std::vector<TocTrack> tracks;
  std::uint64_t lead_out_lba = 0;  // the image's sectors
};

std::string sectors_text(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " sector" : " sectors");
}

// The records of image sectors first_lba .. lead_out - 1, from the start of
// the file; what lies after them is not read.
std::vector<std::uint8_t> read_records(const SubchannelSource& source,
                                       std::uint64_t records) {
  const std::string step = "read " + source.name;
  platform::OpenFile file = platform::open_input_file(source.path, step);
  std::vector<std::uint8_t> bytes(records * subchannel_record_size);
  try {
    const std::size_t got = platform::read_from_file(file, bytes, step);
    if (got != bytes.size()) {
      throw FatalError(source.name + " ended after " + std::to_string(got) +
                       " bytes while it was read; it held " +
                       std::to_string(bytes.size()) + " before");
    }
  } catch (...) {
    platform::close_file(file, "");
    throw;
  }
  platform::close_file(file, "");
  return bytes;
}

void close_pieces(std::vector<platform::OpenFile>& files) {
  for (platform::OpenFile& file : files) platform::close_file(file, "");
}

// Every piece of the image opened before anything is written, so that one
// that cannot be read stops the run with nothing made.
std::vector<platform::OpenFile> open_pieces(
    const std::vector<ImagePiece>& pieces) {
  std::vector<platform::OpenFile> files;
  files.reserve(pieces.size());
  try {
    for (const ImagePiece& piece : pieces) {
      files.push_back(
          platform::open_input_file(piece.path, "read " + piece.name));
    }
  } catch (...) {
    close_pieces(files);
    throw;
  }
  return files;
}

void copy_image(const std::vector<ImagePiece>& pieces,
                std::vector<platform::OpenFile>& files,
                std::uint64_t total_sectors, platform::OpenFile& image,
                ImportOutputs& outputs) {
  Progress progress =
      Progress::on_standard_error("copying the image", total_sectors);
  std::vector<std::uint8_t> buffer(copy_chunk_size);
  const std::string write_step = "write " + outputs.display(image_file_name);
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const ImagePiece& piece = pieces[i];
    const std::string step = "read " + piece.name;
    std::uint64_t left = piece.sectors * img_frame_size;
    while (left > 0) {
      const std::size_t wanted = static_cast<std::size_t>(
          std::min<std::uint64_t>(left, buffer.size()));
      const std::span<std::uint8_t> chunk(buffer.data(), wanted);
      if (platform::read_from_file(files[i], chunk, step) != wanted) {
        throw FatalError(piece.name +
                         " became shorter while it was copied: it held " +
                         sectors_text(piece.sectors) + " before");
      }
      platform::append_to_file(image, chunk, write_step);
      left -= wanted;
      done += wanted / img_frame_size;
      progress.update(done);
    }
  }
  progress.finish();
}

// The report of an import whose dumps are complete and in place. One that
// cannot be written fails the run, but the dumps stay: minutes of copying
// are not thrown away for a report.
void print_import_report(const DamageReport& report, bool json,
                         const ImportOutputs& outputs) {
  try {
    print_report(report, json);
  } catch (const FatalError& error) {
    throw FatalError(
        "the import into " + outputs.display_folder() +
        " is complete, but its report could not be written: " + error.report());
  }
}

// Everything checked and computed before the first byte is written; then
// the three dumps, under their temporary names.
DamageReport write_dumps(const Rip& rip,
                         std::vector<platform::OpenFile>& pieces,
                         UncorrectablePacks uncorrectable,
                         ImportOutputs& outputs) {
  const std::vector<std::uint8_t> toc = build_toc(rip.tracks, rip.lead_out_lba);
  outputs.refuse_existing();

  std::vector<std::uint8_t> cooked;
  {
    const std::vector<std::uint8_t> records = read_records(
        rip.subchannel,
        subchannel_records_needed(rip.subchannel.first_lba, rip.lead_out_lba));
    cooked = cook_subchannel(records, rip.subchannel.form,
                             rip.subchannel.first_lba, rip.lead_out_lba);
  }
  Progress progress =
      Progress::on_standard_error("correcting the subchannel", 0);
  DamageReport report = correct_packs(cooked, parse_toc(toc), uncorrectable);
  progress.update(rip.lead_out_lba);
  progress.finish();

  outputs.create_folder();
  platform::OpenFile& image = outputs.create(image_file_name);
  copy_image(rip.image, pieces, rip.lead_out_lba, image, outputs);
  outputs.close(image, image_file_name);
  outputs.write(subcode_file_name, cooked);
  outputs.write(toc_file_name, toc);
  return report;
}

// Every input opened first; the dumps, renamed into place together once
// complete; then the report.
void write_rip(const Rip& rip, UncorrectablePacks uncorrectable, bool json,
               ImportOutputs& outputs) {
  std::vector<platform::OpenFile> pieces = open_pieces(rip.image);
  DamageReport report;
  try {
    report = write_dumps(rip, pieces, uncorrectable, outputs);
  } catch (...) {
    close_pieces(pieces);
    throw;
  }
  close_pieces(pieces);
  outputs.commit();
  print_import_report(report, json, outputs);
}

// The subchannel file's length in whole records, checked against the
// sectors it must cover.
void check_subchannel(const SubchannelSource& source,
                      std::uint64_t image_sectors) {
  const std::uint64_t records =
      whole_units(platform::file_size(source.path, source.name), source.name,
                  subchannel_record_size, "records");
  if (source.first_lba > 0) {
    throw FatalError(
        "the subchannel file begins after the image's first sector "
        "(--sub-start " +
        std::to_string(source.first_lba) + ")");
  }
  const std::uint64_t needed =
      subchannel_records_needed(source.first_lba, image_sectors);
  if (records < needed) {
    throw FatalError(source.name + " is too short: it holds " +
                     std::to_string(records) + " records from sector " +
                     std::to_string(source.first_lba) + ", and the image's " +
                     sectors_text(image_sectors) + " need " +
                     std::to_string(needed));
  }
}

}  // namespace

void import_cue(const CueArguments& arguments, ImportOutputs& outputs) {
  const std::string sheet_name = platform::display_path(arguments.sheet_path);
  const CueSheet sheet = parse_cue_sheet(
      read_text_file(arguments.sheet_path, sheet_name), sheet_name);
  const NativeString folder = platform::parent_folder(arguments.sheet_path);

  Rip rip;
  std::vector<std::uint64_t> file_sectors;
  for (const std::string& file : sheet.files) {
    // Named in reports as the sheet has it, escaped: it comes from a file.
    ImagePiece piece{
        platform::join_path(folder, platform::native_from_utf8(file)),
        escape_text(file), 0};
    piece.sectors = whole_units(platform::file_size(piece.path, piece.name),
                                piece.name, img_frame_size, "sectors");
    file_sectors.push_back(piece.sectors);
    rip.lead_out_lba += piece.sectors;
    rip.image.push_back(std::move(piece));
  }
  rip.tracks = cue_tracks(sheet, file_sectors);
  rip.subchannel = {arguments.subchannel_path,
                    platform::display_path(arguments.subchannel_path),
                    arguments.form, arguments.sub_start};
  check_subchannel(rip.subchannel, rip.lead_out_lba);
  write_rip(rip, arguments.uncorrectable, arguments.json, outputs);
}

void import_clonecd(const CloneCdArguments& arguments, ImportOutputs& outputs) {
  const std::string ccd_name = platform::display_path(arguments.ccd_path);
  const CloneCdDisc disc =
      parse_clonecd(read_text_file(arguments.ccd_path, ccd_name), ccd_name);

  // The image and the subchannel share the control file's stem.
  NativeString stem = arguments.ccd_path;
  const std::size_t dot = stem.find_last_of('.');
  if (dot != NativeString::npos &&
      platform::parent_folder(stem.substr(0, dot + 1)) ==
          platform::parent_folder(stem)) {
    stem.resize(dot);
  }
  const NativeString image_path = stem + platform::native_from_ascii(".img");
  const NativeString sub_path = stem + platform::native_from_ascii(".sub");
  const std::string image_name = platform::display_path(image_path);

  const std::uint64_t image_sectors =
      whole_units(platform::file_size(image_path, image_name), image_name,
                  img_frame_size, "sectors");
  if (image_sectors < disc.lead_out_lba) {
    throw FatalError(image_name + " holds " + sectors_text(image_sectors) +
                     ", fewer than the first session's lead-out at sector " +
                     std::to_string(disc.lead_out_lba));
  }
  Rip rip;
  rip.image.push_back({image_path, image_name, disc.lead_out_lba});
  rip.subchannel.path = sub_path;
  rip.subchannel.name = platform::display_path(sub_path);
  rip.subchannel.form = SubchannelForm::Packed;
  rip.tracks = disc.tracks;
  rip.lead_out_lba = disc.lead_out_lba;
  // The .sub runs alongside the whole image, one record per sector.
  const std::uint64_t sub_size =
      platform::file_size(sub_path, rip.subchannel.name);
  if (sub_size != image_sectors * subchannel_record_size) {
    throw FatalError(rip.subchannel.name + " holds " +
                     std::to_string(sub_size) + " bytes, but the image's " +
                     sectors_text(image_sectors) + " need " +
                     std::to_string(image_sectors * subchannel_record_size) +
                     ", 96 for each");
  }
  if (disc.sessions > 1) {
    warn("the disc has " + std::to_string(disc.sessions) +
         " sessions: only the first session is imported");
  }
  write_rip(rip, arguments.uncorrectable, arguments.json, outputs);
}

}  // namespace glyphreel
