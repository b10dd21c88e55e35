#include "archive/deflate64.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace glyphreel {

namespace {

// A damaged stream: thrown inside the inflater, returned as its fault.
struct StreamFault {
  std::string_view reason;
};

constexpr unsigned max_code_bits = 15;
// Codes up to this long are decoded with one table look-up; longer ones,
// rare in practice, by walking the canonical code.
constexpr unsigned fast_bits = 10;
constexpr std::size_t literal_length_symbols = 288;  // 286 and 287 unused
constexpr std::size_t usable_literal_lengths = 286;
constexpr std::size_t distance_symbols = 32;
constexpr std::uint16_t end_of_block = 256;
// The most one byte of a stream can become: a match of 65,538 bytes costs
// at least 18 bits (a one-bit length code, its 16 extra bits and a one-bit
// distance code).
constexpr std::size_t max_expansion = 65538 * 8 / 18;
static_assert(max_expansion * 18 == 65538 * 8);
constexpr std::uint16_t first_length_symbol = 257;

struct CodeBase {
  std::uint16_t base;
  std::uint8_t extra_bits;
};

// Length symbols 257 to 285; the last one is where Deflate64 differs.
constexpr std::array<CodeBase, 29> length_bases = {{
    {3, 0},   {4, 0},   {5, 0},   {6, 0},   {7, 0},  {8, 0},  {9, 0},  {10, 0},
    {11, 1},  {13, 1},  {15, 1},  {17, 1},  {19, 2}, {23, 2}, {27, 2}, {31, 2},
    {35, 3},  {43, 3},  {51, 3},  {59, 3},  {67, 4}, {83, 4}, {99, 4}, {115, 4},
    {131, 5}, {163, 5}, {195, 5}, {227, 5}, {3, 16},
}};
static_assert(length_bases[27].base + (1 << 5) - 1 == 258);
static_assert(length_bases[28].base + (1 << 16) - 1 == 65538);

// Distance symbols 0 to 31; Deflate stops at 29.
constexpr std::array<CodeBase, distance_symbols> distance_bases = {{
    {1, 0},      {2, 0},      {3, 0},     {4, 0},      {5, 1},      {7, 1},
    {9, 2},      {13, 2},     {17, 3},    {25, 3},     {33, 4},     {49, 4},
    {65, 5},     {97, 5},     {129, 6},   {193, 6},    {257, 7},    {385, 7},
    {513, 8},    {769, 8},    {1025, 9},  {1537, 9},   {2049, 10},  {3073, 10},
    {4097, 11},  {6145, 11},  {8193, 12}, {12289, 12}, {16385, 13}, {24577, 13},
    {32769, 14}, {49153, 14},
}};
static_assert(distance_bases[29].base + (1 << 13) - 1 == 32768);
static_assert(distance_bases[31].base + (1 << 14) - 1 == 65536);

// The order in which a dynamic block gives the code-length code's lengths.
constexpr std::array<std::uint8_t, 19> code_length_order = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The stream's bits, least significant first, from a 64-bit buffer.
class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> in) : in_(in) {}

  // The next n bits (n <= 32), zeros past the end, left in place.
  std::uint32_t peek(unsigned n) {
    while (count_ <= 56 && next_ < in_.size()) {
      bits_ |= std::uint64_t{in_[next_++]} << count_;
      count_ += 8;
    }
    return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << n) - 1));
  }

  void skip(unsigned n) {
    if (n > count_) throw StreamFault{"stream ends early"};
    bits_ >>= n;
    count_ -= n;
  }

  std::uint32_t take(unsigned n) {
    const std::uint32_t value = peek(n);
    skip(n);
    return value;
  }

  void skip_to_byte() { skip(count_ % 8); }

  // Whole bytes after skip_to_byte(): first those in the bit buffer, then
  // straight from the stream.
  void copy_bytes(std::uint8_t* to, std::size_t n) {
    for (; n > 0 && count_ >= 8; --n)
      *to++ = static_cast<std::uint8_t>(take(8));
    if (n == 0) return;
    if (in_.size() - next_ < n) throw StreamFault{"stream ends early"};
    std::memcpy(to, in_.data() + next_, n);
    next_ += n;
  }

 private:
  std::span<const std::uint8_t> in_;
  std::size_t next_ = 0;
  std::uint64_t bits_ = 0;
  unsigned count_ = 0;
};

// A canonical Huffman code, built once per block from its code lengths.
class HuffmanCode {
 public:
  using PerLength = std::array<std::uint16_t, max_code_bits + 1>;

  // False when the lengths over-subscribe the code, or leave it incomplete
  // where that is not allowed: a literal/length or distance code may be
  // empty or hold a single one-bit code, the code-length code neither.
  bool build(std::span<const std::uint8_t> lengths, bool may_be_incomplete) {
    count_.fill(0);
    for (const std::uint8_t length : lengths) ++count_[length];
    int left = 1;
    for (unsigned length = 1; length <= max_code_bits; ++length) {
      left = 2 * left - count_[length];
      if (left < 0) return false;
    }
    const std::size_t used = lengths.size() - count_[0];
    const bool lone_bit = used == 1 && count_[1] == 1;
    if (left > 0 && !(may_be_incomplete && (used == 0 || lone_bit))) {
      return false;
    }

    // Per length: where its symbols start in symbols_, and its next code.
    PerLength offset{};
    PerLength next_code{};
    for (unsigned length = 2; length <= max_code_bits; ++length) {
      offset[length] =
          static_cast<std::uint16_t>(offset[length - 1] + count_[length - 1]);
      next_code[length] = static_cast<std::uint16_t>(
          (next_code[length - 1] + count_[length - 1]) << 1);
    }
    fast_.fill(0);
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      const unsigned length = lengths[symbol];
      if (length == 0) continue;
      symbols_[offset[length]++] = static_cast<std::uint16_t>(symbol);
      const unsigned code = next_code[length]++;
      if (length > fast_bits) continue;
      unsigned reversed = 0;
      for (unsigned bit = 0; bit < length; ++bit) {
        reversed |= ((code >> bit) & 1) << (length - 1 - bit);
      }
      for (unsigned at = reversed; at < fast_.size(); at += 1u << length) {
        fast_[at] = static_cast<std::uint16_t>(symbol << 4 | length);
      }
    }
    return true;
  }

  // The next symbol, or -1 when the bits match no code.
  int decode(BitReader& in) const {
    const std::uint32_t bits = in.peek(max_code_bits);
    const std::uint16_t entry = fast_[bits & (fast_.size() - 1)];
    if (entry != 0) {
      in.skip(entry & 0xF);
      return entry >> 4;
    }
    int code = 0;
    int first = 0;
    int index = 0;
    for (unsigned length = 1; length <= max_code_bits; ++length) {
      code |= static_cast<int>((bits >> (length - 1)) & 1);
      if (code - first < count_[length]) {
        in.skip(length);
        return symbols_[static_cast<std::size_t>(index + code - first)];
      }
      index += count_[length];
      first = (first + count_[length]) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  PerLength count_{};
  std::array<std::uint16_t, literal_length_symbols> symbols_{};
  // Indexed by the next fast_bits bits: symbol << 4 | code length, or 0
  // for a longer code.
  std::array<std::uint16_t, 1u << fast_bits> fast_{};
};

class Inflater {
 public:
  // The output is sized once for all the stream can make, within the limit:
  // an honest entry's size, and no more than the stream's bytes allow.
  Inflater(std::span<const std::uint8_t> stream, std::size_t limit)
      : in_(stream), limit_(limit) {
    out_.resize(stream.size() > limit / max_expansion
                    ? limit
                    : stream.size() * max_expansion);
  }

  Inflated64 run() {
    Inflated64 result;
    try {
      for (bool last = false; !last;) {
        last = in_.take(1) == 1;
        switch (in_.take(2)) {
          case 0:
            stored_block();
            break;
          case 1:
            fixed_codes();
            coded_block();
            break;
          case 2:
            dynamic_codes();
            coded_block();
            break;
          default:
            throw StreamFault{"invalid block type"};
        }
      }
    } catch (const StreamFault& fault) {
      result.fault = fault.reason;
    }
    out_.resize(size_);
    result.bytes = std::move(out_);
    result.counts = counts_;
    return result;
  }

 private:
  // Room for n more bytes of output, within the limit; the output grows
  // only should the stream make more than its size was set for.
  std::uint8_t* room_for(std::size_t n) {
    if (n > limit_ - size_) {
      throw StreamFault{"more output than the entry's size"};
    }
    if (n > out_.size() - size_) {
      const std::size_t grown =
          std::max({size_ + n, 2 * out_.size(), std::size_t{1} << 16});
      out_.resize(std::min(limit_, grown));
    }
    return out_.data() + size_;
  }

  void stored_block() {
    in_.skip_to_byte();
    const std::uint32_t length = in_.take(16);
    if (in_.take(16) != (~length & 0xFFFF)) {
      throw StreamFault{"invalid stored block lengths"};
    }
    in_.copy_bytes(room_for(length), length);
    size_ += length;
  }

  void fixed_codes() {
    std::array<std::uint8_t, literal_length_symbols> lengths{};
    std::fill(lengths.begin(), lengths.begin() + 144, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::fill(lengths.begin() + 280, lengths.end(), 8);
    literal_lengths_.build(lengths, false);
    std::array<std::uint8_t, distance_symbols> distance_lengths;
    distance_lengths.fill(5);
    distances_.build(distance_lengths, false);
  }

  void dynamic_codes() {
    const std::size_t literal_count = in_.take(5) + first_length_symbol;
    const std::size_t distance_count = in_.take(5) + 1;
    const std::size_t code_length_count = in_.take(4) + 4;
    if (literal_count > usable_literal_lengths) {
      throw StreamFault{"too many length symbols"};
    }
    std::array<std::uint8_t, code_length_order.size()> code_lengths{};
    for (std::size_t k = 0; k < code_length_count; ++k) {
      code_lengths[code_length_order[k]] =
          static_cast<std::uint8_t>(in_.take(3));
    }
    HuffmanCode code_length_code;
    if (!code_length_code.build(code_lengths, false)) {
      throw StreamFault{"invalid code lengths set"};
    }

    // The literal/length and distance lengths run on as one sequence, so a
    // repeat may cross from one into the other.
    const std::size_t total = literal_count + distance_count;
    std::array<std::uint8_t, usable_literal_lengths + distance_symbols>
        lengths{};
    for (std::size_t index = 0; index < total;) {
      const int symbol = code_length_code.decode(in_);
      if (symbol < 0) throw StreamFault{"invalid code lengths set"};
      if (symbol < 16) {
        lengths[index++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      std::uint8_t value = 0;
      std::size_t repeat = 0;
      if (symbol == 16) {
        if (index == 0) throw StreamFault{"invalid bit length repeat"};
        value = lengths[index - 1];
        repeat = 3 + in_.take(2);
      } else if (symbol == 17) {
        repeat = 3 + in_.take(3);
      } else {
        repeat = 11 + in_.take(7);
      }
      if (repeat > total - index) {
        throw StreamFault{"invalid bit length repeat"};
      }
      std::fill_n(lengths.begin() + static_cast<std::ptrdiff_t>(index), repeat,
                  value);
      index += repeat;
    }

    if (lengths[end_of_block] == 0) {
      throw StreamFault{"invalid code: missing end-of-block"};
    }
    const std::span<const std::uint8_t> all(lengths.data(), total);
    if (!literal_lengths_.build(all.first(literal_count), true)) {
      throw StreamFault{"invalid literal/lengths set"};
    }
    if (!distances_.build(all.subspan(literal_count), true)) {
      throw StreamFault{"invalid distances set"};
    }
  }

  void coded_block() {
    for (;;) {
      const int symbol = literal_lengths_.decode(in_);
      if (symbol < 0) throw StreamFault{"invalid literal/length code"};
      if (symbol < end_of_block) {
        *room_for(1) = static_cast<std::uint8_t>(symbol);
        ++size_;
        continue;
      }
      if (symbol == end_of_block) return;
      const auto length_symbol =
          static_cast<std::size_t>(symbol) - first_length_symbol;
      if (length_symbol >= length_bases.size()) {
        throw StreamFault{"invalid literal/length code"};
      }
      // Codes are counted as soon as they are read, before their extra
      // bits: a stream cut short there has still used them.
      counts_.length_code_285 += length_symbol == length_bases.size() - 1;
      const CodeBase length_code = length_bases[length_symbol];
      const std::size_t length =
          length_code.base + in_.take(length_code.extra_bits);

      const int distance_symbol = distances_.decode(in_);
      if (distance_symbol < 0) throw StreamFault{"invalid distance code"};
      counts_.distance_code_30 += distance_symbol == 30;
      counts_.distance_code_31 += distance_symbol == 31;
      const CodeBase distance_code =
          distance_bases[static_cast<std::size_t>(distance_symbol)];
      const std::size_t distance =
          distance_code.base + in_.take(distance_code.extra_bits);
      if (distance > size_) {
        throw StreamFault{"invalid distance too far back"};
      }
      copy_match(length, distance);
    }
  }

  void copy_match(std::size_t length, std::size_t distance) {
    std::uint8_t* to = room_for(length);
    const std::uint8_t* from = to - distance;
    // A match longer than its distance repeats the bytes it copies: what is
    // written already repeats with that period, so each copy can take
    // everything from `from` up to where it writes, twice the last one.
    for (std::size_t done = 0; done < length;) {
      const std::size_t n = std::min(length - done, done + distance);
      std::memcpy(to + done, from, n);
      done += n;
    }
    size_ += length;
  }

  BitReader in_;
  std::size_t limit_;
  std::vector<std::uint8_t> out_;
  std::size_t size_ = 0;  // bytes of out_ inflated so far
  Deflate64Counts counts_;
  HuffmanCode literal_lengths_;
  HuffmanCode distances_;
};

}  // namespace

Inflated64 inflate_deflate64(std::span<const std::uint8_t> stream,
                             std::size_t limit) {
  return Inflater(stream, limit).run();
}

}  // namespace glyphreel
