#pragma once

// Font strings as scripts write them: "name,size,charset" optionally followed
// by style letters, each after a comma: "b" bold, "i" italic, "u" underline,
// "s" strikeout (any case; other items are ignored). Tahoma,10,178,b,u is a
// bold, underlined Tahoma of size 10 with character set 178.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

struct FontSpec {
  std::string name;
  int32_t size = 0;
  int32_t charset = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  bool operator==(const FontSpec&) const = default;
};

// Empty when the string asks for the default font: with a comma appended
// unless it already ends in one, it holds fewer than three commas ("Arial,12"
// does). Raises ConversionError (util/int_text.h) when size or charset is not
// an integer. Name and items are taken as written, spaces included.
std::optional<FontSpec> ParseFontString(std::string_view text);

// "name,size,charset" followed by ",b", ",i", ",u" and ",s" for the styles
// set. A name holding a comma does not read back.
std::string FontToString(const FontSpec& font);

}  // namespace morvane
