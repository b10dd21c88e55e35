// Importing rips: whatever form a rip comes in, the same steps: its files
// opened, its subchannel cooked and corrected, the image copied run by run
// and the table of contents built; or, for a check, the report alone.
#include "main/glyphreel-import/rip.hpp"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"
#include "disc/toc.hpp"
#include "disc/toc_writer.hpp"
#include "import/cdrdao_toc.hpp"
#include "main/glyphreel-import/progress.hpp"
#include "main/glyphreel-import/run.hpp"

namespace glyphreel {

namespace {

template <typename Char>
Char lower_ascii(Char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

bool same_but_case(const NativeString& a, const NativeString& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](auto x, auto y) {
           return lower_ascii(x) == lower_ascii(y);
         });
}

// A file of the folder whose name is `leaf` but for the case of its
// letters; nothing when none is, or when the folder cannot be listed.
std::optional<NativeString> find_but_case(const NativeString& folder,
                                          const NativeString& leaf) {
  std::vector<platform::FolderEntry> entries;
  try {
    entries = platform::list_folder(
        folder.empty() ? platform::native_from_ascii(".") : folder,
        "list " + platform::display_path(folder));
  } catch (const FatalError&) {
    return std::nullopt;
  }
  std::vector<NativeString> matches;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.is_file && same_but_case(entry.name, leaf)) {
      matches.push_back(entry.name);
    }
  }
  if (matches.size() > 1) {
    throw FatalError(platform::display_path(folder + leaf) +
                     " is not there as written, and " +
                     std::to_string(matches.size()) +
                     " names in its folder differ from it only in case");
  }
  if (matches.empty()) return std::nullopt;
  return folder + matches.front();
}

void close_files(std::vector<platform::OpenFile>& files) {
  for (platform::OpenFile& file : files) platform::close_file(file, "");
}

// Every file of the rip opened before anything is written, so that one
// that cannot be read stops the run with nothing made.
std::vector<platform::OpenFile> open_files(const std::vector<RipFile>& files) {
  std::vector<platform::OpenFile> opened;
  opened.reserve(files.size());
  try {
    for (const RipFile& file : files) {
      opened.push_back(
          platform::open_input_file(file.path, "read " + file.name));
    }
  } catch (...) {
    close_files(opened);
    throw;
  }
  return opened;
}

// The audio of the image, run by run: the first 2352 bytes of each block,
// samples byte-swapped where the run says so, and zeros for gaps.
void copy_image(const Rip& rip, std::vector<platform::OpenFile>& files,
                platform::OpenFile& image, ImportOutputs& outputs) {
  Progress progress =
      Progress::on_standard_error("copying the image", rip.lead_out_lba);
  const std::string write_step = "write " + outputs.display(image_file_name);
  std::vector<std::uint8_t> audio(copy_chunk_size);
  std::uint64_t done = 0;
  for (const DiscRun& run : rip.runs) {
    if (!run.file) {
      std::fill(audio.begin(), audio.end(), 0);
      for (std::uint64_t left = run.sectors; left > 0;) {
        const std::uint64_t count =
            std::min<std::uint64_t>(left, copy_chunk_size / img_frame_size);
        platform::append_to_file(
            image, std::span(audio.data(), count * img_frame_size), write_step);
        left -= count;
        done += count;
        progress.update(done);
      }
      continue;
    }
    read_run_blocks(
        run, files[*run.file], rip.files[*run.file],
        [&](std::span<const std::uint8_t> blocks, std::uint64_t count) {
          std::span<const std::uint8_t> out = blocks;
          if (run.block_size != img_frame_size || run.swap) {
            for (std::uint64_t b = 0; b < count; ++b) {
              std::copy_n(blocks.begin() +
                              static_cast<std::ptrdiff_t>(b * run.block_size),
                          img_frame_size,
                          audio.begin() +
                              static_cast<std::ptrdiff_t>(b * img_frame_size));
            }
            const std::span<std::uint8_t> samples(audio.data(),
                                                  count * img_frame_size);
            if (run.swap) swap_sample_bytes(samples);
            out = samples;
          }
          platform::append_to_file(image, out, write_step);
          done += count;
          progress.update(done);
        });
  }
  progress.finish();
}

// The report of an import whose dumps are complete and in place. One that
// cannot be written fails the run, but the dumps stay: minutes of copying
// are not thrown away for a report.
void print_import_report(const DamageReport& report, const QReport& q,
                         bool json, const ImportOutputs& outputs) {
  try {
    print_report(report, json, q);
  } catch (const FatalError& error) {
    throw FatalError(
        "the import into " + outputs.display_folder() +
        " is complete, but its report could not be written: " + error.report());
  }
}

struct Outcome {
  DamageReport damage;
  QReport q;
};

// Everything checked and computed before the first byte is written; then,
// unless the run only checks, the three dumps under their temporary names.
Outcome write_dumps(const Rip& rip, std::vector<platform::OpenFile>& files,
                    const RipOptions& options, ImportOutputs& outputs) {
  const std::vector<std::uint8_t> toc = build_toc(rip.tracks, rip.lead_out_lba);
  if (!options.check) outputs.refuse_existing();

  RipSubchannel subchannel = rip_subchannel(rip, files);
  Progress progress =
      Progress::on_standard_error("correcting the subchannel", 0);
  Outcome outcome{
      correct_packs(subchannel.cooked, parse_toc(toc), options.uncorrectable),
      std::move(subchannel.q)};
  progress.update(rip.lead_out_lba);
  progress.finish();
  if (options.check) return outcome;

  outputs.create_folder();
  platform::OpenFile& image = outputs.create(image_file_name);
  copy_image(rip, files, image, outputs);
  outputs.close(image, image_file_name);
  outputs.write(subcode_file_name, subchannel.cooked);
  outputs.write(toc_file_name, toc);
  return outcome;
}

}  // namespace

std::string sectors_text(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " sector" : " sectors");
}

NativeString locate_input(const NativeString& folder,
                          const NativeString& name) {
  NativeString written = platform::join_path(folder, name);
  const std::string step = "find " + platform::display_path(written);
  if (platform::path_exists(written, step)) return written;
  NativeString slashed_name = name;
  std::replace(slashed_name.begin(), slashed_name.end(),
               static_cast<platform::NativeChar>('\\'),
               static_cast<platform::NativeChar>('/'));
  NativeString slashed = platform::join_path(folder, slashed_name);
  if (slashed != written && platform::path_exists(slashed, step)) {
    return slashed;
  }
  const std::size_t leaf = slashed.find_last_of(NativeString{'/', '\\'});
  const std::size_t split = leaf == NativeString::npos ? 0 : leaf + 1;
  return find_but_case(slashed.substr(0, split), slashed.substr(split))
      .value_or(written);
}

void read_run_blocks(const DiscRun& run, platform::OpenFile& file,
                     const RipFile& source,
                     const std::function<void(std::span<const std::uint8_t>,
                                              std::uint64_t)>& take) {
  const std::string step = "read " + source.name;
  const std::uint64_t per_piece =
      std::max<std::uint64_t>(1, copy_chunk_size / run.block_size);
  std::vector<std::uint8_t> buffer(per_piece * run.block_size);
  platform::seek_file(file, run.offset, step);
  for (std::uint64_t left = run.sectors; left > 0;) {
    const std::uint64_t count = std::min(left, per_piece);
    const std::span<std::uint8_t> piece(buffer.data(), count * run.block_size);
    if (platform::read_from_file(file, piece, step) != piece.size()) {
      throw FatalError(source.name +
                       " became shorter while it was read: it held " +
                       sectors_text(run.sectors) + " from byte " +
                       std::to_string(run.offset) + " before");
    }
    take(piece, count);
    left -= count;
  }
}

void import_rip(const Rip& rip, const RipOptions& options,
                ImportOutputs& outputs) {
  std::vector<platform::OpenFile> files = open_files(rip.files);
  Outcome outcome;
  try {
    outcome = write_dumps(rip, files, options, outputs);
  } catch (...) {
    close_files(files);
    throw;
  }
  close_files(files);
  if (options.check) {
    print_report(outcome.damage, options.json, outcome.q);
    return;
  }
  outputs.commit();
  print_import_report(outcome.damage, outcome.q, options.json, outputs);
}

}  // namespace glyphreel
