#include "import/cdrdao_toc.hpp"

#include <array>

#include "base/text.hpp"
#include "disc/toc.hpp"
#include "import/cdrdao_tokens.hpp"
#include "import/text_lines.hpp"

namespace glyphreel {

namespace {

// Statements read and ignored: the header's CATALOG and session type, and
// a track's flags (COPY, PRE_EMPHASIS, TWO_ and FOUR_CHANNEL_AUDIO, each
// maybe after NO) and ISRC, which the table of contents does not carry;
// CD_TEXT items other than the TITLE and PERFORMER of LANGUAGE 0, and the
// LANGUAGE_MAP. INDEX positions are checked and not kept: the table of
// contents holds index 1 alone.
constexpr std::string_view session_types[] = {"CD_DA", "CD_ROM", "CD_ROM_XA",
                                              "CD_I"};
constexpr std::string_view track_flags[] = {
    "COPY", "PRE_EMPHASIS", "TWO_CHANNEL_AUDIO", "FOUR_CHANNEL_AUDIO"};

struct TrackMode {
  std::string_view name;
  std::size_t block_size;  // bytes of a block without a sub-channel
  bool data;
};

constexpr std::array<TrackMode, 9> track_modes = {{
    {"AUDIO", img_frame_size, false},
    {"MODE0", 2336, true},
    {"MODE1", 2048, true},
    {"MODE1_RAW", img_frame_size, true},
    {"MODE2", 2336, true},
    {"MODE2_FORM1", 2048, true},
    {"MODE2_FORM2", 2324, true},
    {"MODE2_FORM_MIX", 2336, true},
    {"MODE2_RAW", img_frame_size, true},
}};

constexpr std::uint64_t max_tracks = 99;
constexpr std::size_t catalog_digits = 13;
// No disc holds more sectors than 32-bit addresses reach.
constexpr std::uint64_t max_sectors = 0xFFFFFFFF;

bool is(const TocToken& token, std::string_view keyword) {
  return token.kind == TocToken::Kind::Word &&
         upper_ascii(token.text) == keyword;
}

bool is_position(const TocToken& token) {
  return token.kind == TocToken::Kind::Word && !token.text.empty() &&
         token.text[0] >= '0' && token.text[0] <= '9';
}

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool ends_in_wav(std::string_view file_name) {
  return file_name.size() >= 4 &&
         upper_ascii(file_name.substr(file_name.size() - 4)) == ".WAV";
}

// Reads the tokens statement by statement, keeping the open track and what
// it has said so far.
class TocReader {
 public:
  TocReader(std::string_view text, std::string_view toc_name)
      : name_(toc_name), tokens_(toc_tokens(text, toc_name)) {}

  CdrdaoToc read() {
    while (peek().kind != TocToken::Kind::End) statement(next());
    close_track();
    if (toc_.tracks.empty()) {
      refuse(peek(), "the file has no TRACK");
    }
    return std::move(toc_);
  }

 private:
  [[noreturn]] void refuse(const TocToken& at, const std::string& why) const {
    throw refusal(name_, at.line, why);
  }

  const TocToken& peek() const { return tokens_[at_]; }
  const TocToken& next() {
    const TocToken& token = tokens_[at_];
    if (token.kind != TocToken::Kind::End) ++at_;
    return token;
  }

  const TocToken& expect(TocToken::Kind kind, const TocToken& statement,
                         std::string_view what) {
    const TocToken& token = next();
    if (token.kind != kind) {
      refuse(token, statement.text + " takes " + std::string(what) + ", not " +
                        shown(token));
    }
    return token;
  }

  CdrdaoTrack& open_track_for(const TocToken& statement) {
    if (toc_.tracks.empty()) {
      refuse(statement, statement.text + " before any TRACK");
    }
    return toc_.tracks.back();
  }

  void statement(const TocToken& word) {
    if (word.kind != TocToken::Kind::Word) {
      refuse(word, "a statement cannot begin with " + shown(word));
    }
    const std::string keyword = upper_ascii(word.text);
    if (keyword == "TRACK") return open_track(word);
    if (keyword == "CD_TEXT") {
      return cd_text(
          word, toc_.tracks.empty() ? toc_.text : open_track_for(word).text);
    }
    if (keyword == "CATALOG") return catalog(word);
    for (const std::string_view type : session_types) {
      if (keyword == type) return header_only(word);
    }
    if (keyword == "NO") {
      open_track_for(word);
      const TocToken& flag = next();
      if (!is(flag, "COPY") && !is(flag, "PRE_EMPHASIS")) {
        refuse(flag, "NO takes COPY or PRE_EMPHASIS, not " + shown(flag));
      }
      return;
    }
    for (const std::string_view flag : track_flags) {
      if (keyword == flag) return static_cast<void>(open_track_for(word));
    }
    if (keyword == "ISRC") {
      open_track_for(word);
      return static_cast<void>(
          expect(TocToken::Kind::String, word, "a quoted code"));
    }
    if (keyword == "SILENCE" || keyword == "ZERO") return gap(word, false);
    if (keyword == "PREGAP") return gap(word, true);
    if (keyword == "FILE" || keyword == "AUDIOFILE") return file(word, true);
    if (keyword == "DATAFILE") return file(word, false);
    if (keyword == "START") return start(word);
    if (keyword == "INDEX") return index(word);
    refuse(word, "unknown statement " + shown(word));
  }

  void header_only(const TocToken& word) const {
    if (!toc_.tracks.empty()) {
      refuse(word, word.text + " after the first TRACK: it belongs before");
    }
  }

  void catalog(const TocToken& word) {
    header_only(word);
    const TocToken& number =
        expect(TocToken::Kind::String, word, "13 digits in quotes");
    if (number.text.size() != catalog_digits || !all_digits(number.text)) {
      refuse(number, "CATALOG " + shown(number) + " is not 13 digits");
    }
  }

  void open_track(const TocToken& word) {
    close_track();
    if (toc_.tracks.size() == max_tracks) {
      refuse(word, "a 100th TRACK: a disc holds at most 99");
    }
    const TocToken& mode_word =
        expect(TocToken::Kind::Word, word, "a track mode");
    const std::string mode_name = upper_ascii(mode_word.text);
    const TrackMode* mode = nullptr;
    for (const TrackMode& m : track_modes) {
      if (m.name == mode_name) mode = &m;
    }
    if (mode == nullptr)
      refuse(mode_word, "unknown track mode " + shown(mode_word));
    if (mode->block_size != img_frame_size) {
      refuse(mode_word,
             "TRACK " + mode_word.text + " is not supported: its " +
                 std::to_string(mode->block_size) +
                 "-byte blocks are not raw 2352-byte sectors (read data "
                 "tracks raw, as MODE1_RAW or MODE2_RAW)");
    }
    CdrdaoTrack track{
        .data = mode->data, .block_size = mode->block_size, .line = word.line};
    if (is(peek(), "RW") || is(peek(), "RW_RAW")) {
      const TocToken& form_word = next();
      track.subchannel = is(form_word, "RW") ? SubchannelForm::Cooked
                                             : SubchannelForm::Interleaved;
      track.block_size += subchannel_record_size;
      if (form_ && *form_ != *track.subchannel) {
        refuse(form_word, "TRACK " + form_word.text +
                              " follows tracks of the other sub-channel mode: "
                              "a disc's tracks carry one kind");
      }
      form_ = track.subchannel;
    }
    toc_.tracks.push_back(std::move(track));
    start_set_ = false;
    last_index_ = 0;
  }

  // Sectors of the track so far, none once a run goes to its file's end.
  static std::optional<std::uint64_t> track_sectors(const CdrdaoTrack& track) {
    std::uint64_t sum = 0;
    for (const TocRun& run : track.runs) {
      if (!run.sectors) return std::nullopt;
      sum += *run.sectors;
    }
    return sum;
  }

  void close_track() const {
    if (toc_.tracks.empty()) return;
    const CdrdaoTrack& track = toc_.tracks.back();
    const std::string title = "TRACK " + two_digits(toc_.tracks.size());
    const TocToken at{TocToken::Kind::Word, "", track.line};
    if (track.runs.empty()) {
      refuse(at, title + " has no SILENCE, ZERO, FILE or DATAFILE");
    }
  }

  // mm:ss:ff, or a plain number of samples (audio) or bytes of blocks (data)
  // that must be whole sectors: in sectors.
  std::uint64_t sectors_of(const TocToken& word,
                           const CdrdaoTrack& track) const {
    std::uint64_t sectors = 0;
    if (word.text.find(':') != std::string::npos) {
      const auto msf = parse_msf(word.text);
      if (!msf) {
        refuse(word, "time " + shown(word) +
                         " is not mm:ss:ff (seconds below 60, frames below "
                         "75)");
      }
      sectors = *msf;
    } else {
      const ParsedNumber number = parse_decimal_u64(word.text);
      if (!all_digits(word.text) || number.fault) {
        refuse(word, shown(word) + " is not mm:ss:ff or a number");
      }
      const std::uint64_t unit =
          track.data ? track.block_size : samples_per_sector;
      if (number.value % unit != 0) {
        refuse(word, "length " + shown(word) +
                         " is not a whole number of sectors (" +
                         std::to_string(unit) +
                         (track.data ? " bytes" : " samples") + " each)");
      }
      sectors = number.value / unit;
    }
    if (sectors > max_sectors) {
      refuse(word, "length " + word.text + " is longer than any disc");
    }
    return sectors;
  }

  std::uint64_t position(const TocToken& statement, const CdrdaoTrack& track,
                         std::string_view what) {
    const TocToken& word = next();
    if (!is_position(word)) {
      refuse(word, statement.text + " takes " + std::string(what) +
                       " (mm:ss:ff or a number), not " + shown(word));
    }
    return sectors_of(word, track);
  }

  void gap(const TocToken& word, bool pregap) {
    CdrdaoTrack& track = open_track_for(word);
    if (pregap && (!track.runs.empty() || start_set_)) {
      refuse(word, "PREGAP must come first in its track, without START");
    }
    const std::uint64_t sectors = position(word, track, "a length");
    if (sectors == 0) refuse(word, word.text + " of no length");
    track.runs.push_back({.sectors = sectors, .line = word.line});
    if (pregap) {
      track.pregap = sectors;
      start_set_ = true;
    }
  }

  void file(const TocToken& word, bool samples) {
    const CdrdaoTrack& track = open_track_for(word);
    if (samples == track.data) {
      refuse(word, samples ? word.text +
                                 " holds audio samples: a data track takes "
                                 "DATAFILE"
                           : "DATAFILE holds data blocks: an audio track "
                             "takes FILE");
    }
    const TocToken& name_word =
        expect(TocToken::Kind::String, word, "a quoted file name");
    if (name_word.text.empty())
      refuse(name_word, word.text + " has an empty name");
    bool swapped = false;
    if (samples && is(peek(), "SWAP")) swapped = (next(), true);
    std::uint64_t offset = 0;
    if (peek().kind == TocToken::Kind::Word && peek().text.starts_with('#')) {
      const TocToken& offset_word = next();
      const ParsedNumber number =
          parse_decimal_u64(std::string_view{offset_word.text}.substr(1));
      if (!all_digits(offset_word.text.substr(1)) || number.fault) {
        refuse(offset_word,
               "byte offset " + shown(offset_word) + " is not # and a number");
      }
      offset = number.value;
    }
    const std::uint64_t first = samples ? position(word, track, "a start") : 0;
    std::optional<std::uint64_t> sectors;
    if (is_position(peek())) {
      sectors = sectors_of(next(), track);
      if (*sectors == 0) sectors.reset();
    }
    if (offset > UINT64_MAX - first * track.block_size) {
      refuse(name_word, "byte offset " + std::to_string(offset) +
                            " and start lie past any file");
    }
    const std::size_t file = file_index(name_word.text);
    const bool wave = toc_.files[file].wave;
    open_track_for(word).runs.push_back(
        {.file = file,
         .sectors = sectors,
         .offset = offset + first * track.block_size,
         .swap = !track.data && wave == swapped,
         .line = word.line});
  }

  std::size_t file_index(const std::string& file_name) {
    for (std::size_t i = 0; i < toc_.files.size(); ++i) {
      if (toc_.files[i].name == file_name) return i;
    }
    toc_.files.push_back({file_name, ends_in_wav(file_name)});
    return toc_.files.size() - 1;
  }

  void start(const TocToken& word) {
    CdrdaoTrack& track = open_track_for(word);
    if (start_set_) {
      refuse(word, "a second START, or START after PREGAP: index 1 is set");
    }
    start_set_ = true;
    if (is_position(peek())) {
      track.pregap = sectors_of(next(), track);
      return;
    }
    const auto sectors = track_sectors(track);
    if (!sectors) {
      refuse(word,
             "START follows a file run without a length: where index "
             "1 lies is not known");
    }
    track.pregap = *sectors;
  }

  void index(const TocToken& word) {
    const std::uint64_t at = position(word, open_track_for(word), "a position");
    if (at <= last_index_) {
      refuse(word, "INDEX positions count from index 1 and must increase");
    }
    last_index_ = at;
  }

  void cd_text(const TocToken& word, CdText& text) {
    expect(TocToken::Kind::Open, word, "a block in braces");
    while (true) {
      const TocToken& item = next();
      if (item.kind == TocToken::Kind::Close) return;
      if (is(item, "LANGUAGE_MAP")) {
        skip_block(expect(TocToken::Kind::Open, item, "a block in braces"));
      } else if (is(item, "LANGUAGE")) {
        const TocToken& number =
            expect(TocToken::Kind::Word, item, "a block number");
        if (!all_digits(number.text)) {
          refuse(number, "LANGUAGE takes a block number, not " + shown(number));
        }
        expect(TocToken::Kind::Open, item, "a block in braces");
        language(parse_decimal_u64(number.text).value == 0 ? &text : nullptr);
      } else {
        refuse(item, "unknown word " + shown(item) + " in CD_TEXT");
      }
    }
  }

  // Items of one language block: a name and a string, or a name and bytes
  // in braces. Only block 0's title and performer are kept.
  void language(CdText* text) {
    while (true) {
      const TocToken& item = next();
      if (item.kind == TocToken::Kind::Close) return;
      if (item.kind != TocToken::Kind::Word) {
        refuse(item, "a CD_TEXT item has a name, not " + shown(item));
      }
      const TocToken& value = next();
      if (value.kind == TocToken::Kind::Open) {
        skip_block(value);
      } else if (value.kind != TocToken::Kind::String) {
        refuse(value, item.text + " takes a string or bytes in braces, not " +
                          shown(value));
      } else if (text != nullptr && is(item, "TITLE")) {
        text->title = value.text;
      } else if (text != nullptr && is(item, "PERFORMER")) {
        text->performer = value.text;
      }
    }
  }

  // Up to the Close that ends the block `open` began; blocks do not nest.
  void skip_block(const TocToken& open) {
    while (true) {
      const TocToken& token = next();
      if (token.kind == TocToken::Kind::Close) return;
      if (token.kind == TocToken::Kind::End ||
          token.kind == TocToken::Kind::Open) {
        refuse(open, "the block that opens here is not closed");
      }
    }
  }

  std::string_view name_;
  std::vector<TocToken> tokens_;
  std::size_t at_ = 0;
  CdrdaoToc toc_;
  std::optional<SubchannelForm> form_;  // of the tracks so far
  bool start_set_ = false;              // START or PREGAP in the open track
  std::uint64_t last_index_ = 0;
};

}  // namespace

CdrdaoToc parse_cdrdao_toc(std::string_view text, std::string_view toc_name) {
  return TocReader(text, toc_name).read();
}

void swap_sample_bytes(std::span<std::uint8_t> samples) {
  for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
    std::swap(samples[i], samples[i + 1]);
  }
}

}  // namespace glyphreel
