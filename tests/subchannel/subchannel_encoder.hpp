// The writing side of the R–W subchannel, for tests and benchmarks: parity,
// interleaving, the packed form and Q frames with their CRC, built straight
// from the code's definitions (bitwise field arithmetic, generator polynomials)
// so that it shares nothing with the reading side it checks.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace glyphreel::test {

using PackBytes = std::array<std::uint8_t, 24>;
using SectorBytes = std::array<std::uint8_t, 96>;

// a * b in GF(64): carry-less multiplication reduced by x^6 + x + 1.
inline std::uint8_t field_mul(unsigned a, unsigned b) {
  unsigned product = 0;
  for (unsigned bit = 0; bit < 6; ++bit) {
    if (b & (1u << bit)) product ^= a << bit;
  }
  for (unsigned bit = 11; bit >= 6; --bit) {
    if (product & (1u << bit)) product ^= 0x43u << (bit - 6);
  }
  return static_cast<std::uint8_t>(product);
}

inline std::uint8_t alpha_power(unsigned i) {
  std::uint8_t power = 1;
  for (unsigned k = 0; k < i; ++k) power = field_mul(power, 2);
  return power;
}

// Writes the `roots` parity symbols after symbols[0 .. length - 1]: the
// remainder of m(x) x^roots divided by g(x) = (x - 1)(x - alpha) ... (x -
// alpha^(roots - 1)), so that the whole block vanishes at those roots.
inline void append_parity(std::uint8_t* symbols, std::size_t length,
                          std::size_t roots) {
  std::vector<std::uint8_t> generator{1};  // highest power first
  for (unsigned j = 0; j < roots; ++j) {
    generator.push_back(0);
    for (std::size_t i = generator.size() - 1; i > 0; --i) {
      generator[i] ^= field_mul(generator[i - 1], alpha_power(j));
    }
  }
  std::vector<std::uint8_t> remainder(roots, 0);
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t feedback = (symbols[i] & 0x3F) ^ remainder[0];
    for (std::size_t r = 0; r + 1 < roots; ++r) {
      remainder[r] = remainder[r + 1] ^ field_mul(feedback, generator[r + 1]);
    }
    remainder[roots - 1] = field_mul(feedback, generator[roots]);
  }
  for (std::size_t r = 0; r < roots; ++r) symbols[length + r] = remainder[r];
}

// Q parity: symbols 2 and 3 over the mode and instruction.
inline void add_q_parity(PackBytes& pack) { append_parity(pack.data(), 2, 2); }
// P parity: symbols 20 .. 23 over symbols 0 .. 19.
inline void add_p_parity(PackBytes& pack) { append_parity(pack.data(), 20, 4); }
inline void add_parity(PackBytes& pack) {
  add_q_parity(pack);
  add_p_parity(pack);
}

// The block, symbol 0 the highest power, evaluated at alpha^j.
inline std::uint8_t evaluate(std::span<const std::uint8_t> symbols,
                             unsigned j) {
  const std::uint8_t x = alpha_power(j);
  std::uint8_t value = 0;
  for (std::uint8_t symbol : symbols) {
    value = field_mul(value, x) ^ (symbol & 0x3F);
  }
  return value;
}

// Whether the pack passes both P (roots alpha^0 .. alpha^3) and Q.
inline bool is_codeword(const PackBytes& pack) {
  const std::span<const std::uint8_t> q(pack.data(), 4);
  for (unsigned j = 0; j < 4; ++j) {
    if (evaluate(pack, j) != 0) return false;
  }
  return evaluate(q, 0) == 0 && evaluate(q, 1) == 0;
}

// The raw column that holds symbol c of a logical pack.
inline std::size_t raw_column(std::size_t c) {
  constexpr std::array<std::array<std::size_t, 2>, 6> swaps = {
      {{1, 18}, {18, 1}, {2, 5}, {5, 2}, {3, 23}, {23, 3}}};
  for (const auto& [from, to] : swaps) {
    if (c == from) return to;
  }
  return c;
}

// Spreads logical[n], the pack that starts at raw slot n, over the raw
// symbols: symbol c at (n + (s(c) & 7)) * 24 + s(c). Only the low six bits
// of each raw byte are written; symbols past the end are dropped.
inline void interleave(std::span<std::uint8_t> raw,
                       const std::vector<PackBytes>& logical) {
  for (std::size_t n = 0; n < logical.size(); ++n) {
    for (std::size_t c = 0; c < 24; ++c) {
      const std::size_t column = raw_column(c);
      const std::size_t at = (n + (column & 7)) * 24 + column;
      if (at >= raw.size()) continue;
      raw[at] =
          static_cast<std::uint8_t>((raw[at] & 0xC0) | (logical[n][c] & 0x3F));
    }
  }
}

// One sector's frame bytes in packed order: channel c (P = 0 .. W = 7) in
// bytes 12 c .. 12 c + 11, frame 0 in bit 7 of the first.
inline SectorBytes pack_sector(const SectorBytes& frames) {
  SectorBytes packed{};
  for (std::size_t i = 0; i < 96; ++i) {
    for (std::size_t c = 0; c < 8; ++c) {
      if (frames[i] & (0x80u >> c)) {
        packed[12 * c + i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
      }
    }
  }
  return packed;
}

// Whole records of frame bytes in packed order, one sector at a time.
inline std::vector<std::uint8_t> pack_records(
    std::span<const std::uint8_t> interleaved) {
  std::vector<std::uint8_t> packed;
  packed.reserve(interleaved.size());
  for (std::size_t at = 0; at + 96 <= interleaved.size(); at += 96) {
    SectorBytes frames;
    std::copy_n(interleaved.begin() + static_cast<std::ptrdiff_t>(at), 96,
                frames.begin());
    const SectorBytes sector = pack_sector(frames);
    packed.insert(packed.end(), sector.begin(), sector.end());
  }
  return packed;
}

using QBytes = std::array<std::uint8_t, 12>;

// Q's CRC by its definition: the 80 bits of bytes 0 .. 9, most significant
// first, divided by x^16 + x^12 + x^5 + 1 one bit at a time from a zero
// register, then inverted; stored high byte first in bytes 10 and 11.
inline QBytes with_q_crc(QBytes q) {
  unsigned crc = 0;
  for (std::size_t bit = 0; bit < 80; ++bit) {
    const unsigned in = (q[bit / 8] >> (7 - bit % 8)) & 1u;
    const unsigned out = (crc >> 15) & 1u;
    crc = (crc << 1) & 0xFFFFu;
    if (in ^ out) crc ^= 0x1021u;
  }
  crc ^= 0xFFFFu;
  q[10] = static_cast<std::uint8_t>(crc >> 8);
  q[11] = static_cast<std::uint8_t>(crc);
  return q;
}

inline std::uint8_t bcd(unsigned value) {
  return static_cast<std::uint8_t>((value / 10) << 4 | value % 10);
}

// An ADR-1 frame of audio track `track`, whose index 1 is at disc sector
// track_start, at disc sector lba (>= -150): absolute time lba + 150
// frames; relative time from index 1, or counting down to it in index 0.
inline QBytes position_q(unsigned track, long long lba,
                         long long track_start = -150) {
  const auto msf = [](unsigned frames) {
    return std::array<std::uint8_t, 3>{bcd(frames / 4500),
                                       bcd(frames / 75 % 60), bcd(frames % 75)};
  };
  const auto a = msf(static_cast<unsigned>(lba + 150));
  const auto r = msf(static_cast<unsigned>(
      lba < track_start ? track_start - lba : lba - track_start));
  const std::uint8_t index = lba < track_start ? 0x00 : 0x01;
  return with_q_crc({0x01, bcd(track), index, r[0], r[1], r[2], 0x00, a[0],
                     a[1], a[2], 0, 0});
}

// A lead-in frame: track 0, the table of contents' entry for `point`.
inline QBytes lead_in_q(unsigned point) {
  return with_q_crc(
      {0x01, 0x00, bcd(point), 0x00, 0x10, 0x20, 0x00, 0x00, 0x02, 0x00, 0, 0});
}

// Writes the 96 bits of q, most significant first, into bit 6 of the frame
// bytes of an interleaved record, leaving the other channels alone.
inline void put_q(std::span<std::uint8_t> frames, const QBytes& q) {
  for (std::size_t i = 0; i < 96; ++i) {
    const bool bit = (q[i / 8] >> (7 - i % 8)) & 1u;
    frames[i] =
        static_cast<std::uint8_t>((frames[i] & ~0x40u) | (bit ? 0x40u : 0u));
  }
}

}  // namespace glyphreel::test
