// A run of disc sectors as a rip's files hold them, or a gap in no file:
// what the readers of cue sheets and cdrdao TOC files lay a disc out in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace glyphreel {

// A run of disc sectors, gaps and tracks without a subchannel included.
struct DiscRun {
  std::uint64_t first_lba = 0;
  std::uint64_t sectors = 0;
  std::optional<std::size_t> file{};  // none: zero audio and idle packs
  std::uint64_t offset = 0;           // byte in the file of the first block
  std::size_t block_size = 0;         // 2352, or 2448 with a subchannel
  bool swap = false;                  // byte-swap each 16-bit sample
  // Each block's last 96 bytes are subchannel in the layout's form; false
  // for a gap or a track without a subchannel: idle packs.
  bool subchannel = false;
  bool operator==(const DiscRun&) const = default;
};

}  // namespace glyphreel
