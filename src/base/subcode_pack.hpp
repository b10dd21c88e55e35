// One 24-byte pack of R-W subcode, read in place from the subcode dump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace glyphreel {

inline constexpr std::size_t pack_size = 24;
inline constexpr std::size_t packs_per_sector = 4;
inline constexpr std::size_t pack_data_size = 16;

inline constexpr std::uint8_t mode_graphics = 9;            // CD+G instruction
inline constexpr std::uint8_t mode_extended_graphics = 10;  // CD+EG instruction

// Byte 0 mode, byte 1 instruction, bytes 2-3 parity Q, bytes 4-19 the 16
// operand bytes, bytes 20-23 parity P. Parity is never read: packs are used
// exactly as stored. Mode and instruction are whole bytes, never masked.
class SubcodePack {
 public:
  explicit SubcodePack(std::span<const std::uint8_t, pack_size> bytes)
      : bytes_(bytes.data()) {}

  std::uint8_t mode() const { return bytes_[0]; }
  std::uint8_t instruction() const { return bytes_[1]; }
  // Operand byte i (0 ... 15), byte 4 + i of the pack.
  std::uint8_t data(std::size_t i) const { return bytes_[4 + i]; }
  std::span<const std::uint8_t, pack_data_size> data() const {
    return std::span<const std::uint8_t, pack_data_size>(bytes_ + 4,
                                                         pack_data_size);
  }

 private:
  const std::uint8_t* bytes_;
};

}  // namespace glyphreel
