#include "subchannel/parity.hpp"

#include <array>

#include "subchannel/gf64.hpp"

namespace glyphreel {
namespace {

using gf64::alpha_pow;
using gf64::mul;

constexpr std::uint8_t symbol_mask = 0x3F;
constexpr std::array<std::size_t, 6> parity_positions = {2, 3, 20, 21, 22, 23};
constexpr std::size_t q_symbols = 4;

using Symbols = std::array<std::uint8_t, pack_symbols>;

// Symbol i is the coefficient of x^(23 - i): symbol 0 the highest power.
constexpr unsigned power_of(std::size_t i) {
  return static_cast<unsigned>(pack_symbols - 1 - i);
}

// The P syndromes S_j = C(alpha^j), j = 0 .. 3, one per byte of a word,
// are a sum of per-symbol terms v * alpha^(j * power): tabulating the four
// terms of each value at each position turns the whole check into 24
// lookups and XORs, with no branch on the symbols. Most packs are intact,
// so that is most of the work.
using SyndromeTerms =
    std::array<std::array<std::uint32_t, gf64::field_size>, pack_symbols>;

constexpr SyndromeTerms make_syndrome_terms() {
  SyndromeTerms terms{};
  for (std::size_t i = 0; i < pack_symbols; ++i) {
    for (unsigned v = 0; v < gf64::field_size; ++v) {
      std::uint32_t word = 0;
      for (unsigned j = 0; j < 4; ++j) {
        const std::uint8_t term =
            mul(static_cast<std::uint8_t>(v), alpha_pow(j * power_of(i)));
        word |= static_cast<std::uint32_t>(term) << (8 * j);
      }
      terms[i][v] = word;
    }
  }
  return terms;
}

constexpr SyndromeTerms syndrome_terms = make_syndrome_terms();
// Position 23 is the constant term: v itself for every j.
static_assert(syndrome_terms[23][0x2A] == 0x2A2A2A2Au);
// Position 22 is v * alpha^j: 1, 2, 4, 8 for v = 1.
static_assert(syndrome_terms[22][1] == 0x08040201u);

// The four P syndromes, S_j in byte j; zero when P finds the pack intact.
std::uint32_t p_syndromes(const std::uint8_t* bytes) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < pack_symbols; ++i) {
    word ^= syndrome_terms[i][bytes[i] & symbol_mask];
  }
  return word;
}

// Q(x) = c0 x^3 + c1 x^2 + c2 x + c3 vanishes at alpha^0 and alpha^1.
bool q_intact(const Symbols& s) {
  const std::uint8_t at_one = s[0] ^ s[1] ^ s[2] ^ s[3];
  std::uint8_t at_alpha = 0;
  for (std::size_t i = 0; i < q_symbols; ++i) {
    at_alpha = mul(at_alpha, gf64::alpha) ^ s[i];  // Horner
  }
  return at_one == 0 && at_alpha == 0;
}

bool parity_symbols_zero(const std::uint8_t* bytes) {
  std::uint8_t any = 0;
  for (std::size_t i : parity_positions) any |= bytes[i] & symbol_mask;
  return any == 0;
}

struct Errors {
  int count = 0;
  std::array<std::size_t, 2> position{};
  std::array<std::uint8_t, 2> value{};
};

// Finds at most two errors from the syndromes (Peterson's equations for
// t = 2, first root alpha^0), or count 0 when the syndromes fit no such
// pattern. The caller still checks the corrected pack: a locator that
// solves the equations is not proof of a codeword.
Errors locate_errors(std::uint32_t syndromes) {
  const std::array<std::uint8_t, 4> s = {
      static_cast<std::uint8_t>(syndromes),
      static_cast<std::uint8_t>(syndromes >> 8),
      static_cast<std::uint8_t>(syndromes >> 16),
      static_cast<std::uint8_t>(syndromes >> 24)};
  // Locator L(x) = 1 + l1 x + l2 x^2 with S_(j+2) + l1 S_(j+1) + l2 S_j = 0
  // for j = 0, 1; when that system is singular, try one error.
  std::uint8_t l1 = 0;
  std::uint8_t l2 = 0;
  const std::uint8_t det = mul(s[1], s[1]) ^ mul(s[0], s[2]);
  if (det != 0) {
    l1 = gf64::div(mul(s[1], s[2]) ^ mul(s[0], s[3]), det);
    l2 = gf64::div(mul(s[1], s[3]) ^ mul(s[2], s[2]), det);
  } else if (s[0] != 0) {
    l1 = gf64::div(s[1], s[0]);
  }
  const int degree = l2 != 0 ? 2 : (l1 != 0 ? 1 : 0);
  if (degree == 0) return {};

  // Chien search over the pack's positions only: a root X^-1 with X =
  // alpha^power outside them means more damage than P can mend.
  Errors errors;
  for (std::size_t i = 0; i < pack_symbols; ++i) {
    const std::uint8_t x_inverse = alpha_pow(gf64::order - power_of(i));
    const std::uint8_t value =
        1 ^ mul(l1, x_inverse) ^ mul(l2, mul(x_inverse, x_inverse));
    if (value != 0) continue;
    if (errors.count == degree) return {};
    errors.position[static_cast<std::size_t>(errors.count++)] = i;
  }
  if (errors.count != degree) return {};

  // Forney with first root alpha^0: e = X * Omega(X^-1) / L'(X^-1), where
  // Omega = S(x) L(x) mod x^4 has degree < 2 and, in characteristic 2,
  // L'(x) = l1. So e = (X * S0 + S1 + l1 S0) / l1.
  const std::uint8_t omega1 = s[1] ^ mul(l1, s[0]);
  for (std::size_t k = 0; k < static_cast<std::size_t>(degree); ++k) {
    const std::uint8_t x = alpha_pow(power_of(errors.position[k]));
    errors.value[k] = gf64::div(mul(x, s[0]) ^ omega1, l1);
    if (errors.value[k] == 0) return {};
  }
  return errors;
}

}  // namespace

PackCheck check_pack(std::span<std::uint8_t, pack_symbols> pack) {
  const std::uint32_t syndromes = p_syndromes(pack.data());
  if (syndromes == 0) return {};
  // Damage is indistinguishable from graphics written without parity when
  // every parity symbol is zero; a non-zero syndrome means the pack is not
  // all zero, so it is not idle.
  if (parity_symbols_zero(pack.data())) return {PackStatus::WithoutParity, 0};

  constexpr PackCheck uncorrectable{PackStatus::Uncorrectable, 0};
  const Errors errors = locate_errors(syndromes);
  if (errors.count == 0) return uncorrectable;

  Symbols corrected;
  for (std::size_t i = 0; i < pack_symbols; ++i) {
    corrected[i] = pack[i] & symbol_mask;
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(errors.count); ++k) {
    corrected[errors.position[k]] ^= errors.value[k];
  }
  // Q checks P's work: a correction Q rejects is no correction.
  if (p_syndromes(corrected.data()) != 0 || !q_intact(corrected)) {
    return uncorrectable;
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(errors.count); ++k) {
    pack[errors.position[k]] = corrected[errors.position[k]];
  }
  return {PackStatus::Corrected, errors.count};
}

}  // namespace glyphreel
