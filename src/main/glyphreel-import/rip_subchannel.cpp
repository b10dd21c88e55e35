// The subchannel of a rip: its records read from their file or from the
// blocks of the image's runs, placed on the disc where their Q says they
// belong, and cooked into packs.
#include <algorithm>
#include <map>

#include "base/fatal_error.hpp"
#include "main/glyphreel-import/rip.hpp"
#include "main/glyphreel-import/run.hpp"
#include "subchannel/alignment.hpp"
#include "subchannel/q_channel.hpp"

namespace glyphreel {

namespace {

// Every whole record of the file.
std::vector<std::uint8_t> read_subchannel_file(const RipFile& file) {
  const std::uint64_t records =
      whole_units(platform::file_size(file.path, file.name), file.name,
                  subchannel_record_size, "records");
  const std::string step = "read " + file.name;
  platform::OpenFile open = platform::open_input_file(file.path, step);
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(records * subchannel_record_size);
    const std::size_t got = platform::read_from_file(open, bytes, step);
    if (got != bytes.size()) {
      throw FatalError(file.name + " ended after " + std::to_string(got) +
                       " bytes while it was read; it held " +
                       std::to_string(bytes.size()) + " before");
    }
  } catch (...) {
    platform::close_file(open, "");
    throw;
  }
  platform::close_file(open, "");
  return bytes;
}

// The last 96 bytes of every block of the runs that carry them, in disc
// order.
std::vector<std::uint8_t> records_from_blocks(
    const Rip& rip, std::vector<platform::OpenFile>& files) {
  std::uint64_t sectors = 0;
  for (const DiscRun& run : rip.runs) {
    if (run.subchannel) sectors += run.sectors;
  }
  std::vector<std::uint8_t> records;
  records.reserve(sectors * subchannel_record_size);
  for (const DiscRun& run : rip.runs) {
    if (!run.subchannel) continue;
    const std::size_t audio = run.block_size - subchannel_record_size;
    read_run_blocks(
        run, files[*run.file], rip.files[*run.file],
        [&](std::span<const std::uint8_t> blocks, std::uint64_t count) {
          for (std::uint64_t b = 0; b < count; ++b) {
            const auto record = blocks.subspan(b * run.block_size + audio,
                                               subchannel_record_size);
            records.insert(records.end(), record.begin(), record.end());
          }
        });
  }
  return records;
}

// The disc sectors that hold records: the runs from files, all of them for
// a subchannel file beside them, those with a subchannel for blocks that
// carry it.
std::vector<FileSectors> record_sectors(const Rip& rip) {
  std::vector<FileSectors> sectors;
  for (const DiscRun& run : rip.runs) {
    if (run.file && (rip.subchannel_file || run.subchannel)) {
      sectors.push_back(
          {static_cast<std::int64_t>(run.first_lba), run.sectors});
    }
  }
  return sectors;
}

// A subchannel file must hold a record for each of the files' sectors from
// its start on: sector `start` of the files.
void check_covers(const RipFile& file, std::uint64_t records,
                  std::int64_t start, std::uint64_t file_sectors) {
  std::uint64_t needed = subchannel_records_needed(start, file_sectors);
  if (start > 0) {
    const auto after = static_cast<std::uint64_t>(start);
    needed = after < file_sectors ? file_sectors - after : 0;
  }
  if (records < needed) {
    throw FatalError(
        file.name + " is too short: it holds " + std::to_string(records) +
        " records from sector " + std::to_string(start) + ", and the files' " +
        sectors_text(file_sectors) + " need " + std::to_string(needed));
  }
}

// The Q frames of the records each track's sectors got, by their CRC.
std::vector<TrackQ> count_track_q(const Rip& rip, std::span<const RecordQ> q,
                                  const Placement& placement) {
  std::vector<TrackQ> tracks(rip.tracks.size());
  const auto first = static_cast<std::uint64_t>(-placement_first_lba);
  std::size_t t = 0;
  for (std::uint64_t lba = 0; lba < rip.lead_out_lba; ++lba) {
    while (t + 1 < rip.tracks.size() && rip.tracks[t + 1].start_lba <= lba) {
      ++t;
    }
    const auto& record = placement.records[first + lba];
    if (!record || lba < rip.tracks[t].start_lba) continue;
    if (q[*record].status == QStatus::Good) ++tracks[t].frames;
    if (q[*record].status == QStatus::BadCrc) ++tracks[t].crc_errors;
  }
  return tracks;
}

// A slip's place: the last track that starts at or before its sector, or
// the first.
SlipPlace slip_place(const Rip& rip, std::int64_t lba, std::int64_t by) {
  std::size_t t = 0;
  while (t + 1 < rip.tracks.size() &&
         static_cast<std::int64_t>(rip.tracks[t + 1].start_lba) <= lba) {
    ++t;
  }
  return {t + 1, lba - static_cast<std::int64_t>(rip.tracks[t].start_lba), by};
}

// The files' sectors, counted one after another from 0 as --sub-start
// counts them, against the disc sectors they are: a ripper drops or
// repeats records in the order it reads the files, so records are aligned
// in file sectors and only then put on the disc, gaps and all.
class FileCount {
 public:
  explicit FileCount(std::vector<FileSectors> runs) : runs_(std::move(runs)) {}

  std::uint64_t sectors() const {
    std::uint64_t sum = 0;
    for (const FileSectors& run : runs_) sum += run.sectors;
    return sum;
  }

  // The file sector of a disc sector; none in a gap between two runs.
  // Before the first run and past the last the count goes on from them.
  std::optional<std::int64_t> file_sector(std::int64_t lba) const {
    std::int64_t start = 0;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      const FileSectors& run = runs_[i];
      const auto length = static_cast<std::int64_t>(run.sectors);
      if ((i == 0 && lba < run.first_lba) || i + 1 == runs_.size() ||
          lba < run.first_lba + length) {
        if (lba >= run.first_lba || i == 0) {
          return start + (lba - run.first_lba);
        }
        return std::nullopt;
      }
      start += length;
    }
    return std::nullopt;
  }

  // The disc sector of a file sector.
  std::int64_t lba(std::int64_t file_sector) const {
    return assumed_lbas(runs_, file_sector, 1).front();
  }

  // Where each record placed on the files' sectors goes on the disc.
  Placement on_disc(const Placement& on_files, std::uint64_t lead_out) const {
    Placement placement;
    placement.records.resize(lead_out +
                             static_cast<std::uint64_t>(-placement_first_lba));
    const auto files = static_cast<std::int64_t>(on_files.records.size());
    for (std::size_t i = 0; i < placement.records.size(); ++i) {
      const auto fs =
          file_sector(static_cast<std::int64_t>(i) + placement_first_lba);
      if (!fs) continue;
      const std::int64_t at = *fs - placement_first_lba;
      if (at >= 0 && at < files) {
        placement.records[i] = on_files.records[static_cast<std::size_t>(at)];
      }
    }
    return placement;
  }

 private:
  std::vector<FileSectors> runs_;
};

// The disc sector of the dumps' first sector, as the position frames say:
// a frame in track t, n sectors after its index 1, lies at the dumps'
// sector start(t) + n, and its absolute time names its disc sector. The
// value a clear majority of those frames give; without one, the first
// track's index 1 is taken for the disc's sector 0, as it is on nearly
// every disc (a hidden track before it is the exception the frames find).
std::int64_t dumps_first_lba(const Rip& rip, std::span<const RecordQ> q) {
  std::map<std::int64_t, std::uint64_t> votes;
  std::uint64_t frames = 0;
  for (const RecordQ& record : q) {
    if (!record.from_index_1 || record.track == 0 ||
        record.track > rip.tracks.size()) {
      continue;
    }
    const auto dumps_sector =
        static_cast<std::int64_t>(rip.tracks[record.track - 1].start_lba) +
        *record.from_index_1;
    ++votes[*record.lba - dumps_sector];
    ++frames;
  }
  for (const auto& [first_lba, count] : votes) {
    if (2 * count > frames) return first_lba;
  }
  return rip.tracks.empty()
             ? 0
             : -static_cast<std::int64_t>(rip.tracks.front().start_lba);
}

}  // namespace

RipSubchannel rip_subchannel(const Rip& rip,
                             std::vector<platform::OpenFile>& files) {
  std::vector<std::uint8_t> records =
      rip.subchannel_file ? read_subchannel_file(*rip.subchannel_file)
                          : records_from_blocks(rip, files);
  const std::uint64_t count = records.size() / subchannel_record_size;
  const FileCount file_count(record_sectors(rip));
  const std::uint64_t file_sectors = file_count.sectors();

  const bool given = rip.start.kind == SubStart::Kind::Given;
  const std::int64_t first = given ? rip.start.sector : 0;
  if (given && first > 0) {
    throw FatalError(std::string(rip.subchannel_file
                                     ? "the subchannel file"
                                     : "the sectors' subchannel") +
                     " begins after the image's first sector (--sub-start " +
                     std::to_string(first) + ")");
  }
  if (rip.subchannel_file && given) {
    check_covers(*rip.subchannel_file, count, first, file_sectors);
  } else if (given && first < -static_cast<std::int64_t>(count)) {
    throw FatalError("--sub-start " + std::to_string(first) +
                     " puts all of the sectors' " + std::to_string(count) +
                     " records before the image");
  }

  // Each record's Q position as a file sector, and the file sector each
  // record is taken to be. Q counts the disc's sectors from its 00:02:00;
  // the dumps from the image's first sector.
  std::vector<RecordQ> q = read_records_q(records, rip.form);
  std::vector<RecordQ> q_on_files = q;
  const std::int64_t first_lba = dumps_first_lba(rip, q);
  for (RecordQ& record : q_on_files) {
    if (record.lba) {
      record.lba = file_count.file_sector(*record.lba - first_lba);
    }
  }
  const std::vector<FileSectors> one_run = {
      {0, std::max<std::uint64_t>(file_sectors, 1)}};
  const std::vector<std::int64_t> assumed = assumed_lbas(one_run, first, count);
  Alignment alignment = align_records(q_on_files, assumed);
  const bool usable = alignment.usable();
  if (rip.start.kind == SubStart::Kind::Auto && !usable) {
    const auto bad = static_cast<std::uint64_t>(
        std::count_if(q.begin(), q.end(), [](const RecordQ& record) {
          return record.status == QStatus::BadCrc;
        }));
    throw FatalError(
        "--sub-start auto: the Q subchannel of " +
        (rip.subchannel_file ? rip.subchannel_file->name
                             : std::string("the sectors")) +
        " gives no clear start: " + std::to_string(alignment.agreeing_frames) +
        " of its " + std::to_string(alignment.position_frames) +
        " position frames agree, " + std::to_string(bad) +
        " frames have a bad CRC; give the start as a number");
  }
  // A number given overrides where the file starts; its slips stand.
  const bool found_by_q = usable && !given;
  if (!found_by_q) alignment.start_offset = 0;
  const std::int64_t start = first + alignment.start_offset;
  // Where Q placed the records, sectors that none of them reach are idle
  // like those after a dropped record: a drive that delivers subchannel a
  // few sectors late leaves the last few without.
  if (rip.subchannel_file && !given && !found_by_q) {
    check_covers(*rip.subchannel_file, count, start, file_sectors);
  }

  const Placement placement = file_count.on_disc(
      place_records(alignment, assumed, file_sectors), rip.lead_out_lba);
  RipSubchannel result;
  result.q.tracks = count_track_q(rip, q, placement);
  result.q.subchannel_start = start;
  result.q.start_found_by_q = found_by_q;
  for (const Slip& slip : alignment.slips) {
    result.q.slips.push_back(
        slip_place(rip, file_count.lba(slip.at_lba), slip.by));
  }
  const std::vector<std::uint8_t> stream = placed_records(records, placement);
  records = {};
  result.cooked =
      cook_subchannel(stream, rip.form, placement_first_lba, rip.lead_out_lba);
  return result;
}

}  // namespace glyphreel
