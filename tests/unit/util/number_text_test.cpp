#include "util/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace morvane {
namespace {

TEST(FloatToText, WritesTheGeneralFormWithFifteenDigits) {
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {1.0, "1"},
      {-1.0, "-1"},
      {100.0, "100"},
      {12345.678, "12345.678"},
      {-12345.678, "-12345.678"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3.0, "0.333333333333333"},
      {-2.0 / 3.0, "-0.666666666666667"},
      {0.999999999999999, "0.999999999999999"},
      {0.9999999999999999, "1"},
      {123456789012345.0, "123456789012345"},
      {-123456789012345.0, "-123456789012345"},
      {1234567890123456.0, "1.23456789012346E15"},
      {999999999999999.0, "999999999999999"},
      {999999999999999.4, "999999999999999"},
      {999999999999999.5, "1E15"},
      {123456789012345.6, "123456789012346"},
      {1e15, "1E15"},
      {1e20, "1E20"},
      {-1e20, "-1E20"},
      {1.5e-7, "1.5E-7"},
      {-1.5e-7, "-1.5E-7"},
      {0.00001, "0.00001"},
      {0.000012345, "0.000012345"},
      {0.000001, "1E-6"},
      {9.99999e-6, "9.99999E-6"},
      // Rounds up to 1E-5 at 15 digits, so it is written in fixed notation.
      {9.9999999999999995e-6, "0.00001"},
      {99999.5, "99999.5"},
      // Exact halves at the sixteenth digit round away from zero.
      {1000000000000005.0, "1.00000000000001E15"},
      {1000000000000025.0, "1.00000000000003E15"},
      {-1000000000000025.0, "-1.00000000000003E15"},
      {9999999999999995.0, "1E16"},
      {1234567890123.125, "1234567890123.13"},
      {1234567890123.375, "1234567890123.38"},
      {0x1p-22, "2.38418579101563E-7"},
      {1000000000000004.0, "1E15"},
      // Just below a half although the shortest text ending in 5 suggests one.
      {663580027143.4325, "663580027143.432"},
      {8.586796008319315e-09, "8.58679600831931E-9"},
      {5.409650431667345e-25, "5.40965043166734E-25"},
      {1000000000000006.0, "1.00000000000001E15"},
      {1e100, "1E100"},
      {1.23456789012345678e-10, "1.23456789012346E-10"},
      {std::numeric_limits<double>::max(), "1.79769313486232E308"},
      {std::numeric_limits<double>::min(), "2.2250738585072E-308"},
      {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FloatToText(c.value), c.expected) << "value " << c.value;
  }
}

// The significant digits (trailing zeros dropped) and the decimal exponent of
// the first one, read from number text or from printf's %e.
std::pair<std::string, int> DigitsOf(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  int exponent = 0;
  if (const size_t e = text.find_first_of("Ee"); e != std::string_view::npos) {
    exponent = std::stoi(std::string(text.substr(e + 1)));
    text = text.substr(0, e);
  }
  const size_t point = text.find('.');
  std::string digits(text.substr(0, point));
  exponent += static_cast<int>(digits.size()) - 1;
  if (point != std::string_view::npos) digits += text.substr(point + 1);
  const size_t first = digits.find_first_not_of('0');
  exponent -= static_cast<int>(first);
  digits.erase(0, first);
  digits.erase(digits.find_last_not_of('0') + 1);
  return {digits, exponent};
}

TEST(FloatToText, RoundsTheExactValueToFifteenDigits) {
  // printf gives every digit of the exact binary value; rounding those half
  // up by hand is the reference.
  std::mt19937_64 random(7);
  std::vector<char> exact(1100);
  for (int i = 0; i < 20000; ++i) {
    double value = std::bit_cast<double>(random());
    if (i % 2 == 0) value = std::ldexp(static_cast<double>(random() >> 11), -int(random() % 60));
    if (!std::isfinite(value) || value == 0) continue;
    std::snprintf(exact.data(), exact.size(), "%.1000e", std::fabs(value));
    std::string digits(exact.data(), 1);
    digits.append(exact.data() + 2, 14);
    int exponent = std::atoi(std::strchr(exact.data(), 'e') + 1);
    if (exact[16] >= '5') {
      int k = 14;
      while (k >= 0 && digits[k] == '9') digits[k--] = '0';
      if (k >= 0) {
        ++digits[k];
      } else {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++exponent;
      }
    }
    const auto expected =
        DigitsOf(digits.substr(0, 1) + "." + digits.substr(1) + "E" + std::to_string(exponent));
    ASSERT_EQ(DigitsOf(FloatToText(value)), expected) << exact.data();
  }
}

TEST(FloatToText, UsesTheGivenSeparator) {
  std::string appended = "x=";
  AppendFloatText(appended, -1.25, ',');
  EXPECT_EQ(appended, "x=-1,25");
  EXPECT_EQ(FloatToText(-1.25, ','), "-1,25");
  EXPECT_EQ(FloatToText(1.5e-7, ','), "1,5E-7");
  EXPECT_EQ(FloatToText(0.00002, ','), "0,00002");
  EXPECT_EQ(FloatToText(42.0, ','), "42");
}

TEST(TextToFloat, ReadsNumberText) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  };
  const Case cases[] = {
      {"0", 0.0},
      {"42", 42.0},
      {"  -42  ", -42.0},
      {"+3.5", 3.5},
      {"1.5E-7", 1.5e-7},
      {"1e20", 1e20},
      {"2E+3", 2000.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"0.1", 0.1},
      {"1.23456789012346E15", 1.23456789012346e15},
      {"1e-400", 0.0},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {".", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1,5", std::nullopt},
      {"1e", std::nullopt},
      {"1e+", std::nullopt},
      {"e5", std::nullopt},
      {"1 2", std::nullopt},
      {"--1", std::nullopt},
      {"0x10", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"INF", std::nullopt},
      {"1e400", std::nullopt},
      {"\t1", std::nullopt},
      {"12abc", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToFloat(c.text), c.expected) << "text '" << c.text << "'";
  }
}

TEST(TextToFloat, UsesTheGivenSeparator) {
  EXPECT_EQ(TextToFloat("1,5", ','), 1.5);
  EXPECT_EQ(TextToFloat("-1,5E-7", ','), -1.5e-7);
  EXPECT_EQ(TextToFloat("1.5", ','), std::nullopt);
}

TEST(TextToFloat, KeepsTheSignOfZeroAndUnderflow) {
  EXPECT_TRUE(std::signbit(*TextToFloat("-0")));
  EXPECT_TRUE(std::signbit(*TextToFloat("-1e-400")));
  EXPECT_EQ(TextToFloat("4.9406564584124654E-324"), std::numeric_limits<double>::denorm_min());
}

TEST(NumberText, WrittenTextReadsBackToTheFifteenDigitValue) {
  const double values[] = {1.0 / 3.0, 0.1 + 0.2, 1.5e-7, 1234567890123456.0, -2.5e300, 7e-320};
  for (double value : values) {
    const std::optional<double> back = TextToFloat(FloatToText(value));
    ASSERT_TRUE(back.has_value()) << value;
    EXPECT_EQ(FloatToText(*back), FloatToText(value));
    EXPECT_NEAR(*back, value, std::fabs(value) * 1e-14);
  }
}

TEST(RoundHalfEven, RoundsToNearestAndHalvesToEven) {
  struct Case {
    double value;
    std::optional<int64_t> expected;
  };
  const Case cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {0.49999999999999994, 0},
      {2.5000000000000004, 3},
      {-2.7, -3},
      {1e15 + 0.5, 1000000000000000},
      {4503599627370497.0, 4503599627370497},
      {-9223372036854775808.0, INT64_MIN},
      {9223372036854775808.0, std::nullopt},
      {9223372036854774784.0, 9223372036854774784},
      {-9223372036854777856.0, std::nullopt},
      {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
      {std::numeric_limits<double>::infinity(), std::nullopt},
      {-std::numeric_limits<double>::infinity(), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.value), c.expected) << "value " << c.value;
  }
}

}  // namespace
}  // namespace morvane
