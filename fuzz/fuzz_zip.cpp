// Fuzzes the zip reader, extraction and the Deflate64 inflater.
//
// Input: one byte that chooses the form, then the bytes of that form.
//   0 (any even byte): a zip archive. A refusal of the archive or of an
//     entry is an expected outcome and must name the zip. Every name read
//     must be well-formed UTF-8, a folder exactly a name ending in '/', and
//     every entry extracted must have the size and CRC-32 that the central
//     directory gives.
//   1 (any odd byte): a raw Deflate64 stream, inflated into at most 1 MiB.
//     A stream that uses none of the codes where Deflate64 differs from
//     Deflate (length code 285, distance codes 30 and 31) means the same to
//     zlib: when ours inflates it, zlib must give the same bytes (or refuse
//     a block announcing the 31st and 32nd distance codes, which zlib does
//     not know); when ours refuses it, zlib must not inflate it either.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/deflate64.hpp"
#include "archive/zip_names.hpp"
#include "archive/zip_reader.hpp"
#include "base/fatal_error.hpp"
#include "finding.hpp"

namespace {

using glyphreel::FatalError;
using Bytes = std::span<const std::uint8_t>;
using fuzzing::require;

constexpr std::string_view zip_name = "fuzz.zip";
constexpr std::size_t raw_limit = std::size_t{1} << 20;
// Entries extracted from one archive: enough to reach every method, few
// enough that one input stays quick. Entries claiming more than 16 MiB are
// extracted only past the most an entry may hold, where they are refused
// at once: a stream of a few KiB can really inflate to hundreds of MB.
constexpr std::size_t max_extracted = 8;
constexpr std::uint64_t max_fuzzed_size = std::uint64_t{1} << 24;

bool names_the_zip(const FatalError& error) {
  return error.report().starts_with(std::string(zip_name) + ": ");
}

void fuzz_archive(Bytes archive) {
  std::vector<glyphreel::ZipEntry> entries;
  try {
    entries = glyphreel::read_zip_directory(archive, zip_name);
  } catch (const FatalError& error) {
    require(names_the_zip(error), "directory refusal does not name the zip");
    return;
  }
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const glyphreel::ZipEntry& entry = entries[k];
    require(glyphreel::is_utf8(entry.name), "entry name is not UTF-8");
    require(entry.is_folder == entry.name.ends_with('/'),
            "folder flag disagrees with the name");
    if (k >= max_extracted || (entry.size > max_fuzzed_size &&
                               entry.size <= glyphreel::zip_max_entry_size)) {
      continue;
    }
    std::vector<std::uint8_t> bytes;
    try {
      bytes = glyphreel::extract_zip_entry(archive, entry, zip_name);
    } catch (const FatalError& error) {
      require(names_the_zip(error), "entry refusal does not name the zip");
      continue;
    }
    require(bytes.size() == entry.size, "extracted size differs");
    const uLong crc = crc32(0, bytes.data(), static_cast<uInt>(bytes.size()));
    require(crc == entry.crc32, "extracted CRC-32 differs");
  }
}

// zlib's raw inflate of the stream into at most `limit` bytes; nothing when
// it refuses the stream or needs more room or input.
bool zlib_inflates(Bytes stream, std::size_t limit,
                   std::vector<std::uint8_t>& out, std::string& message) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  out.assign(limit + 1, 0);
  z.next_in = const_cast<std::uint8_t*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&z, Z_FINISH);
  message = z.msg != nullptr ? z.msg : "";
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return status == Z_STREAM_END && out.size() <= limit;
}

void fuzz_stream(Bytes stream) {
  const glyphreel::Inflated64 ours =
      glyphreel::inflate_deflate64(stream, raw_limit);
  require(ours.bytes.size() <= raw_limit, "output past the limit");
  if (ours.counts != glyphreel::Deflate64Counts{}) return;
  std::vector<std::uint8_t> theirs;
  std::string message;
  const bool inflated = zlib_inflates(stream, raw_limit, theirs, message);
  if (ours.fault.empty()) {
    if (!inflated) {
      require(message == "too many length or distance symbols",
              "zlib refuses a stream that we inflate");
      return;
    }
    require(theirs == ours.bytes, "zlib inflates to other bytes");
  } else {
    require(!inflated, "zlib inflates a stream that we refuse");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  return fuzzing::run_case([&] {
    if (size == 0) return;
    const Bytes rest(data + 1, size - 1);
    if (data[0] % 2 == 0) {
      fuzz_archive(rest);
    } else {
      fuzz_stream(rest);
    }
  });
}
