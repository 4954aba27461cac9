#pragma once

// Colour strings as scripts write them: "RGB(r,g,b)" with decimal components,
// or six hexadecimal digits RRGGBB. Case does not matter.

#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

// The Windows colour value red + 256 * green + 65536 * blue.
//
// "RGB(" form: red runs to the first ",", green to the second, blue to the
// following ")" (or to the end when there is none). Each must be an integer
// (util/int_text.h), else ConversionError is raised; values are clamped to
// 0..255 so that one component never spills into the next.
//
// Otherwise characters 1-2, 3-4 and 5-6 are red, green and blue; a character
// that is not a hexadecimal digit, or is missing, counts as 0, and anything
// after the sixth is ignored.
uint32_t ParseColourString(std::string_view text);

// "RRGGBB" in upper case; bits above the blue byte are ignored.
std::string ColourToHex(uint32_t colour);

}  // namespace morvane
