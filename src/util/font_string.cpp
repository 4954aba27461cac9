#include "util/font_string.h"

#include "util/ascii_case.h"
#include "util/int_text.h"

#include <algorithm>
#include <vector>

namespace morvane {

std::optional<FontSpec> ParseFontString(std::string_view text) {
  // The comma rule: a trailing comma is implied, so "a,b,c" has three.
  const size_t commas =
      std::count(text.begin(), text.end(), ',') + (text.empty() || text.back() != ',' ? 1 : 0);
  if (commas < 3) return std::nullopt;

  std::vector<std::string_view> items;
  size_t start = 0;
  for (size_t comma = text.find(','); comma != std::string_view::npos;
       comma = text.find(',', start)) {
    items.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  if (start < text.size()) items.push_back(text.substr(start));

  FontSpec font;
  font.name = items[0];
  font.size = StrToInt(items[1]);
  font.charset = StrToInt(items[2]);
  for (size_t i = 3; i < items.size(); ++i) {
    if (items[i].size() != 1) continue;
    switch (AsciiToLower(items[i][0])) {
      case 'b':
        font.bold = true;
        break;
      case 'i':
        font.italic = true;
        break;
      case 'u':
        font.underline = true;
        break;
      case 's':
        font.strike_out = true;
        break;
      default:
        break;
    }
  }
  return font;
}

std::string FontToString(const FontSpec& font) {
  std::string text = font.name;
  text += ',';
  text += std::to_string(font.size);
  text += ',';
  text += std::to_string(font.charset);
  if (font.bold) text += ",b";
  if (font.italic) text += ",i";
  if (font.underline) text += ",u";
  if (font.strike_out) text += ",s";
  return text;
}

}  // namespace morvane
