#include "archive/deflate64.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glyphreel {
namespace {

// Writes a Deflate64 stream bit by bit, least significant bit first.
class StreamWriter {
 public:
  StreamWriter& bits(std::uint32_t value, unsigned count) {
    for (unsigned k = 0; k < count; ++k) bit((value >> k) & 1);
    return *this;
  }
  // A Huffman code goes out from its most significant bit.
  StreamWriter& code(std::uint32_t value, unsigned length) {
    for (unsigned k = length; k-- > 0;) bit((value >> k) & 1);
    return *this;
  }
  StreamWriter& header(bool last, unsigned type) {
    return bits(last ? 1 : 0, 1).bits(type, 2);
  }
  // A literal or length symbol of the fixed code.
  StreamWriter& fixed(unsigned symbol) {
    if (symbol < 144) return code(0x30 + symbol, 8);
    if (symbol < 256) return code(0x190 + symbol - 144, 9);
    if (symbol < 280) return code(symbol - 256, 7);
    return code(0xC0 + symbol - 280, 8);
  }
  // A match: its length symbol with extra bits, then the fixed five-bit
  // distance code with its own.
  StreamWriter& match(unsigned length_symbol, std::uint32_t length_extra,
                      unsigned length_bits, unsigned distance_code,
                      std::uint32_t distance_extra, unsigned distance_bits) {
    fixed(length_symbol).bits(length_extra, length_bits);
    return code(distance_code, 5).bits(distance_extra, distance_bits);
  }
  // A stored block's lengths and bytes, from the next byte boundary.
  StreamWriter& stored(std::string_view text, std::uint16_t complement) {
    used_ = 0;
    bits(static_cast<std::uint32_t>(text.size()), 16).bits(complement, 16);
    for (const char c : text) bits(static_cast<unsigned char>(c), 8);
    return *this;
  }
  std::vector<std::uint8_t> done() const { return bytes_; }

 private:
  void bit(std::uint32_t value) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() |= static_cast<std::uint8_t>(value << used_);
    used_ = (used_ + 1) % 8;
  }
  std::vector<std::uint8_t> bytes_;
  unsigned used_ = 0;
};

// A stored block of 12 bytes (more than the reader holds in its bit buffer),
// then a fixed block: 'a' and a run of 50,000 more (length code 285, 16
// extra bits), "sto" again from 50,013 bytes back (distance code 31) and
// "aaaa" from 40,000 back (distance code 30).
StreamWriter far_matches() {
  StreamWriter stream;
  stream.header(false, 0).stored("stored bytes", 0xFFF3);
  stream.header(true, 1).fixed('a');
  stream.match(285, 50000 - 3, 16, 0, 0, 0);
  stream.match(257, 0, 0, 31, 50013 - 49153, 14);
  stream.match(258, 0, 0, 30, 40000 - 32769, 14);
  return stream;
}

TEST(Deflate64, InflatesTheCodesDeflateLacks) {
  const std::vector<std::uint8_t> stream = far_matches().fixed(256).done();
  const std::string expected =
      "stored bytes" + std::string(50001, 'a') + "sto" + "aaaa";
  const Inflated64 inflated = inflate_deflate64(stream, expected.size());
  EXPECT_EQ(inflated.fault, "");
  EXPECT_EQ(std::string(inflated.bytes.begin(), inflated.bytes.end()),
            expected);
  EXPECT_EQ(inflated.counts, (Deflate64Counts{1, 1, 1}));
}

TEST(Deflate64, NamesTheDamageInAStream) {
  const std::size_t whole = 12 + 50001 + 3 + 4;
  // A dynamic block's header: literal/length and distance counts, then the
  // code-length code's lengths in their order (16, 17, 18, 0, ...).
  const auto dynamic = [](unsigned literals, unsigned lengths_of_16_17_18_0) {
    StreamWriter stream;
    stream.header(true, 2).bits(literals - 257, 5).bits(0, 5).bits(0, 4);
    return stream.bits(lengths_of_16_17_18_0, 12);
  };
  const struct {
    const char* name;
    std::vector<std::uint8_t> stream;
    std::size_t limit;
    std::string_view fault;
  } cases[] = {
      {"block type 3", StreamWriter().header(true, 3).done(), 10,
       "invalid block type"},
      {"stored lengths", StreamWriter().header(true, 0).stored("x", 0).done(),
       10, "invalid stored block lengths"},
      {"no end of block", far_matches().done(), whole, "stream ends early"},
      {"too far back",
       StreamWriter()
           .header(true, 1)
           .fixed('a')
           .match(257, 0, 0, 1, 0, 0)
           .fixed(256)
           .done(),
       10, "invalid distance too far back"},
      {"output past the size", far_matches().fixed(256).done(), whole - 1,
       "more output than the entry's size"},
      {"literal/length symbol 286",
       StreamWriter().header(true, 1).fixed(286).done(), 10,
       "invalid literal/length code"},
      {"287 literal/length lengths", dynamic(287, 0).done(), 10,
       "too many length symbols"},
      // Lengths 1 for 16, 17, 18 and 0 make four one-bit codes.
      {"over-subscribed code lengths", dynamic(257, 01111).done(), 10,
       "invalid code lengths set"},
      // 0 and 16 get one bit each; the first length read repeats nothing.
      {"repeat before any length", dynamic(257, 01001).code(1, 1).done(), 10,
       "invalid bit length repeat"},
  };
  for (const auto& c : cases) {
    const Inflated64 inflated = inflate_deflate64(c.stream, c.limit);
    EXPECT_EQ(inflated.fault, c.fault) << c.name;
    EXPECT_LE(inflated.bytes.size(), c.limit) << c.name;
  }
}

}  // namespace
}  // namespace glyphreel
