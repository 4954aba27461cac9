#pragma once

// Case-insensitive handling of 8-bit text. Only the ASCII letters A-Z and a-z
// change case; every other byte, including the letters of any code page above
// 127, stays as it is, so results never depend on a locale.

#include <string>
#include <string_view>

namespace morvane {

constexpr char AsciiToLower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}
constexpr char AsciiToUpper(char c) {
  return c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
}

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

// Position of the first occurrence of `needle` at or after `from`, or npos.
// An empty needle is found at `from` when `from` is within the text.
size_t FindIgnoreCase(std::string_view text, std::string_view needle, size_t from = 0);

// Replaces every occurrence of `from`, left to right and not overlapping, by
// `to`. Replacements are not searched again. An empty `from` changes nothing.
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view from, std::string_view to);

}  // namespace morvane
