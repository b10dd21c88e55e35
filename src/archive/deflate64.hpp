// Inflating Deflate64 ("enhanced deflating", zip method 9), which no
// library we can rely on decodes. Its streams are Deflate's (stored, fixed
// and dynamic blocks, the same Huffman codes) with three differences: a
// 65,536-byte window, length code 285 carrying 16 extra bits (lengths 3 to
// 65,538) and two more distance codes, 30 and 31 (distances up to 65,536).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace glyphreel {

// How often the codes that plain Deflate lacks, or reads otherwise, occur
// in a stream: tests use the counts to show that a stream exercises them.
struct Deflate64Counts {
  std::uint64_t length_code_285 = 0;   // lengths with 16 extra bits
  std::uint64_t distance_code_30 = 0;  // distances 32,769 to 49,152
  std::uint64_t distance_code_31 = 0;  // distances 49,153 to 65,536
  bool operator==(const Deflate64Counts&) const = default;
};

struct Inflated64 {
  std::vector<std::uint8_t> bytes;  // what was inflated before any fault
  // Why the stream is damaged ("invalid distance too far back", "stream
  // ends early", "more output than the entry's size", ...); empty when its
  // last block ended.
  std::string_view fault;
  Deflate64Counts counts;
};

// Inflates a raw Deflate64 stream (no header or trailer) that must give at
// most `limit` bytes. The output is sized for no more than the stream's
// bytes can make (about 29,000 bytes each), so a stream that only claims a
// large size costs little. Bytes after the last block are ignored; whether
// the output has the expected size is the caller's check.
Inflated64 inflate_deflate64(std::span<const std::uint8_t> stream,
                             std::size_t limit);

}  // namespace glyphreel
