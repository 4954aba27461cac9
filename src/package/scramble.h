#pragma once

// The package's byte scrambling: a stored byte s holds the plain byte p as
// s = (p + key) mod 256.

#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

inline std::string Unscramble(std::string_view stored, uint8_t key) {
  std::string plain(stored);
  for (char& c : plain) c = static_cast<char>(static_cast<uint8_t>(c) - key);
  return plain;
}

inline std::string Scramble(std::string_view plain, uint8_t key) {
  std::string stored(plain);
  for (char& c : stored) c = static_cast<char>(static_cast<uint8_t>(c) + key);
  return stored;
}

// The record separator: 00 at even offsets; at the five odd offsets any byte
// whose decimal notation begins with the digit 1. A writer uses 01.
inline bool IsSeparatorOddByte(uint8_t b) {
  return b == 1 || (b >= 10 && b <= 19) || (b >= 100 && b <= 199);
}

inline bool IsSeparatorAt(std::string_view data, size_t offset) {
  if (offset > data.size() || data.size() - offset < 10) return false;
  for (size_t i = 0; i < 10; i += 2) {
    if (data[offset + i] != 0 || !IsSeparatorOddByte(static_cast<uint8_t>(data[offset + i + 1])))
      return false;
  }
  return true;
}

inline constexpr std::string_view kRecordSeparator{"\0\1\0\1\0\1\0\1\0\1", 10};

}  // namespace morvane
