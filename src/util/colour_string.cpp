#include "util/colour_string.h"

#include "util/ascii_case.h"
#include "util/int_text.h"

#include <algorithm>

namespace morvane {

namespace {

uint32_t HexDigit(std::string_view text, size_t i) {
  if (i >= text.size()) return 0;
  const char c = text[i];
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

uint32_t Component(std::string_view text) {
  return static_cast<uint32_t>(std::clamp(StrToInt(text), 0, 255));
}

}  // namespace

uint32_t ParseColourString(std::string_view text) {
  if (StartsWithIgnoreCase(text, "RGB(")) {
    constexpr size_t kStart = 4;
    const size_t first = text.find(',', kStart);
    const size_t second = first == std::string_view::npos ? first : text.find(',', first + 1);
    if (second == std::string_view::npos) throw ConversionError(text.substr(kStart));
    const size_t close = text.find(')', second + 1);
    const uint32_t red = Component(text.substr(kStart, first - kStart));
    const uint32_t green = Component(text.substr(first + 1, second - first - 1));
    const uint32_t blue = Component(
        text.substr(second + 1, close == std::string_view::npos ? close : close - second - 1));
    return red | green << 8 | blue << 16;
  }
  const uint32_t red = HexDigit(text, 0) * 16 + HexDigit(text, 1);
  const uint32_t green = HexDigit(text, 2) * 16 + HexDigit(text, 3);
  const uint32_t blue = HexDigit(text, 4) * 16 + HexDigit(text, 5);
  return red | green << 8 | blue << 16;
}

std::string ColourToHex(uint32_t colour) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text(6, '0');
  for (int i = 0; i < 3; ++i) {
    const uint32_t byte = (colour >> (8 * i)) & 0xFF;
    text[2 * i] = kHex[byte >> 4];
    text[2 * i + 1] = kHex[byte & 0xF];
  }
  return text;
}

}  // namespace morvane
