#include "util/int_text.h"

namespace morvane {

std::optional<int32_t> ParseInt32(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
    // Hexadecimal text may use the full 32 bits (FFFFFFFF is -1).
    if (value > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{0x80000000})) return std::nullopt;
  }
  if (base == 16) {
    int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(value));
    return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(bits)) : bits;
  }
  if (negative) return static_cast<int32_t>(-value);
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::string InvalidIntegerMessage(std::string_view text) {
  std::string message = "'";
  message += text;
  message += "' is not a valid integer value";
  return message;
}

int32_t StrToInt(std::string_view text) {
  if (auto value = ParseInt32(text)) return *value;
  throw ConversionError(text);
}

}  // namespace morvane
