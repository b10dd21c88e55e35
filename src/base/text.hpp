// Text that every program reads or writes alike: unsigned decimal numbers,
// and text from arguments or files quoted for a report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glyphreel {

// Why a text is not an unsigned 64-bit decimal number.
enum class NumberFault : std::uint8_t { Empty, InvalidDigit, PosOverflow };

std::string_view name(NumberFault fault);

// Reads an unsigned 64-bit decimal number: one optional leading '+', then
// ASCII digits only. The first fault met from left to right decides.
struct ParsedNumber {
  std::uint64_t value = 0;
  std::optional<NumberFault> fault;
};
ParsedNumber parse_decimal_u64(std::string_view text);

// The text between double quotes, with quotes, backslashes and control
// characters escaped, as reports show an argument.
std::string quote_argument(std::string_view utf8_text);

}  // namespace glyphreel
