#pragma once

// Integer text as the player reads it: leading spaces, an optional sign, then
// decimal digits or hexadecimal digits after "$", "x" or "0x". Nothing may
// follow, and the value must fit in 32 bits.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvane {

std::optional<int32_t> ParseInt32(std::string_view text);

// "'%s' is not a valid integer value" with the text put in.
std::string InvalidIntegerMessage(std::string_view text);

// The conversion error the player raises for text that is not an integer.
class ConversionError : public std::runtime_error {
 public:
  explicit ConversionError(std::string_view text)
      : std::runtime_error(InvalidIntegerMessage(text)) {}
};

// ParseInt32, raising ConversionError on failure.
int32_t StrToInt(std::string_view text);

}  // namespace morvane
