#include "util/ascii_case.h"

namespace morvane {

std::string AsciiLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiToLower(c);
  return result;
}

std::string AsciiUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiToUpper(c);
  return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiToLower(a[i]) != AsciiToLower(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

size_t FindIgnoreCase(std::string_view text, std::string_view needle, size_t from) {
  if (from > text.size() || needle.size() > text.size() - from) return std::string_view::npos;
  if (needle.empty()) return from;
  const char first = AsciiToLower(needle[0]);
  const size_t last_start = text.size() - needle.size();
  for (size_t i = from; i <= last_start; ++i) {
    if (AsciiToLower(text[i]) == first && EqualsIgnoreCase(text.substr(i, needle.size()), needle)) {
      return i;
    }
  }
  return std::string_view::npos;
}

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view from,
                                 std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string result;
  size_t done = 0;
  for (size_t at = FindIgnoreCase(text, from); at != std::string_view::npos;
       at = FindIgnoreCase(text, from, done)) {
    result.append(text, done, at - done);
    result.append(to);
    done = at + from.size();
  }
  result.append(text, done);
  return result;
}

}  // namespace morvane
