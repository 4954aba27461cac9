#include "util/colour_string.h"
#include "util/font_string.h"
#include "util/int_text.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(ColourString, ReadsRgbAndHexForms) {
  struct Case {
    std::string_view text;
    uint32_t expected;
  };
  const Case cases[] = {
      {"RGB(255,0,0)", 0x0000FF},
      {"rgb(1,2,3)", 0x030201},
      {"RGB( 10, 20, 30)", 0x1E140A},
      {"RGB(300,-5,0)", 0x0000FF},  // clamped, no spill into green
      {"RGB(1,2,3", 0x030201},      // no ")": blue runs to the end
      {"FF0000", 0x0000FF},
      {"ff0000", 0x0000FF},
      {"FF8000", 0x0080FF},
      {"0000FF", 0xFF0000},
      {"GG8000", 0x008000},  // non-hex characters count as 0
      {"F", 0x0000F0},       // missing characters count as 0
      {"", 0},
      {"#FF0000", 0x00F00F},  // no "#" prefix: "#F", "F0", "00"
      {"1234567890", 0x563412},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseColourString(c.text), c.expected) << c.text;
  }
}

TEST(ColourString, RgbPartsMustBeIntegers) {
  for (std::string_view text :
       {"RGB(a,0,0)", "RGB(1,2)", "RGB(1)", "RGB(", "RGB(1,2,)", "RGB(1 ,2,3)", "RGB(1.5,2,3)"}) {
    EXPECT_THROW(ParseColourString(text), ConversionError) << text;
  }
  try {
    ParseColourString("RGB(1,x,3)");
  } catch (const ConversionError& error) {
    EXPECT_STREQ(error.what(), "'x' is not a valid integer value");
  }
}

TEST(ColourString, WritesRrggbb) {
  EXPECT_EQ(ColourToHex(0x0080FF), "FF8000");
  EXPECT_EQ(ColourToHex(0), "000000");
  EXPECT_EQ(ColourToHex(0xFF0A0B0C), "0C0B0A");
  EXPECT_EQ(ParseColourString(ColourToHex(0x123456)), 0x123456u);
}

TEST(FontString, ReadsNameSizeCharsetAndStyles) {
  struct Case {
    std::string_view text;
    std::optional<FontSpec> expected;
  };
  const Case cases[] = {
      {"Tahoma,10,178,b,u", FontSpec{"Tahoma", 10, 178, true, false, true, false}},
      {"Arial,12,0", FontSpec{"Arial", 12, 0}},
      {"Arial,12,0,", FontSpec{"Arial", 12, 0}},
      {"Times New Roman,-16,204,I,S,x,bold",
       FontSpec{"Times New Roman", -16, 204, false, true, false, true}},
      {",8,1", FontSpec{"", 8, 1}},
      {"Arial,12", std::nullopt},
      {"Arial,12,", std::nullopt},
      {"Arial", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseFontString(c.text), c.expected) << c.text;
  }
}

TEST(FontString, SizeAndCharsetMustBeIntegers) {
  EXPECT_THROW(ParseFontString("Arial,big,0"), ConversionError);
  EXPECT_THROW(ParseFontString("Arial,12,,b"), ConversionError);
  EXPECT_THROW(ParseFontString(",,,"), ConversionError);
}

TEST(FontString, WritesWhatItReads) {
  const FontSpec font{"Tahoma", 10, 178, true, true, true, true};
  EXPECT_EQ(FontToString(font), "Tahoma,10,178,b,i,u,s");
  EXPECT_EQ(ParseFontString(FontToString(font)), font);
  EXPECT_EQ(FontToString(FontSpec{"Arial", 12, 0}), "Arial,12,0");
  EXPECT_EQ(ParseFontString("Arial,12,0"), FontSpec({"Arial", 12, 0}));
}

}  // namespace
}  // namespace morvane
