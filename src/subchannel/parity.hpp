// The parity of one R–W pack: P, a (24, 20) Reed–Solomon code over the
// whole pack, checks it and corrects up to two wrong symbols; Q, a (4, 2)
// code over symbols 0 .. 3, checks what P corrected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace glyphreel {

inline constexpr std::size_t pack_symbols = 24;

enum class PackStatus { Valid, Corrected, WithoutParity, Uncorrectable };

struct PackCheck {
  PackStatus status = PackStatus::Valid;
  int symbols_corrected = 0;  // 1 or 2 when Corrected, else 0
  bool operator==(const PackCheck&) const = default;
};

// Checks one pack's parity and corrects up to two symbols in place. A
// symbol is the low six bits of its byte.
// - Valid: P finds the pack intact (an all-zero idle pack is intact); Q is
//   not consulted, the pack is untouched.
// - WithoutParity: P finds damage but all six parity symbols (2, 3, 20,
//   21, 22, 23) are zero: graphics written without parity. Untouched.
// - Corrected: at most two symbols were rewritten (their bytes' two high
//   bits become 0) and the result passes both P and Q.
// - Uncorrectable: anything else; the pack is untouched.
// Allocates nothing.
PackCheck check_pack(std::span<std::uint8_t, pack_symbols> pack);

}  // namespace glyphreel
