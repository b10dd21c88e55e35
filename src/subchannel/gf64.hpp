// GF(64), the field of the R–W subchannel's parity symbols: six-bit
// symbols, built with the primitive polynomial x^6 + x + 1 (0x43), with
// alpha = x (the symbol 0x02) generating the 63 non-zero elements.
// Addition is XOR; multiplication goes through log and antilog tables.
#pragma once

#include <array>
#include <cstdint>

namespace glyphreel::gf64 {

inline constexpr unsigned field_size = 64;
inline constexpr unsigned order = 63;  // non-zero elements, alpha^63 = 1
inline constexpr std::uint8_t primitive_polynomial = 0x43;
inline constexpr std::uint8_t alpha = 0x02;

struct Tables {
  // antilog[i] = alpha^i for i in 0 .. 2 * order - 1: twice round the
  // field, so that log[a] + log[b] needs no reduction.
  std::array<std::uint8_t, 2 * order> antilog{};
  // log[a] for a != 0; log[0] is never read.
  std::array<std::uint8_t, field_size> log{};
};

constexpr Tables make_tables() {
  Tables t;
  unsigned element = 1;
  for (unsigned i = 0; i < order; ++i) {
    t.antilog[i] = static_cast<std::uint8_t>(element);
    t.antilog[i + order] = static_cast<std::uint8_t>(element);
    t.log[element] = static_cast<std::uint8_t>(i);
    element <<= 1;
    if (element & field_size) element ^= primitive_polynomial;
  }
  return t;
}

inline constexpr Tables tables = make_tables();

// alpha^i for any i >= 0.
constexpr std::uint8_t alpha_pow(unsigned i) {
  return tables.antilog[i % order];
}

constexpr std::uint8_t mul(std::uint8_t a, std::uint8_t b) {
  if (a == 0 || b == 0) return 0;
  return tables.antilog[tables.log[a] + tables.log[b]];
}

// REQUIRES: b != 0.
constexpr std::uint8_t div(std::uint8_t a, std::uint8_t b) {
  if (a == 0) return 0;
  return tables.antilog[tables.log[a] + order - tables.log[b]];
}

// REQUIRES: a != 0.
constexpr std::uint8_t inverse(std::uint8_t a) { return div(1, a); }

static_assert(alpha_pow(0) == 1 && alpha_pow(1) == alpha);
static_assert(alpha_pow(6) == 0x03);  // x^6 = x + 1
static_assert(alpha_pow(62) == 0x21 && alpha_pow(63) == 1);
static_assert(mul(alpha_pow(62), alpha) == 1 && inverse(alpha) == 0x21);
static_assert(div(mul(0x2B, 0x17), 0x17) == 0x2B);

constexpr bool antilog_visits_every_non_zero_element_once() {
  std::array<bool, field_size> seen{};
  for (unsigned i = 0; i < order; ++i) {
    const std::uint8_t element = tables.antilog[i];
    if (element == 0 || element >= field_size || seen[element]) return false;
    seen[element] = true;
  }
  return true;
}
static_assert(antilog_visits_every_non_zero_element_once());

}  // namespace glyphreel::gf64
