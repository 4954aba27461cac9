#include "util/number_text.h"

#include <locale.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

namespace morvane {

namespace {

constexpr int kDigits = 15;

// Largest magnitude below which every whole double has at most 15 digits.
constexpr double kWholeLimit = 1e15;

// Up to 15 significant digits, and the decimal exponent of the first one.
struct Digits {
  char digit[kDigits];
  int count = 0;
  int exponent = 0;
};

// A value whose exact decimal expansion has exactly 16 significant digits, the
// last a 5, lies halfway between two 15-digit texts; it is rounded away from
// zero, as decimal rounding is taught. Fills `out` and returns true for such a
// value; false for all others.
//
// Such a value is D * 10^p with D an odd 16-digit multiple of 5, so its odd
// binary significand m and binary exponent q satisfy q == p and
// m == D * 5^p (p >= 0) or m * 5^-p == D (p < 0). That leaves q in [-22, 1].
bool RoundTie(double magnitude, Digits& out) {
  const uint64_t bits = std::bit_cast<uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52);
  uint64_t m = bits & ((uint64_t{1} << 52) - 1);
  int q = biased == 0 ? -1074 : biased - 1075;
  if (biased != 0) m |= uint64_t{1} << 52;
  if (m == 0) return false;
  const int zeros = std::countr_zero(m);
  m >>= zeros;
  q += zeros;
  if (q < -22 || q > 1) return false;
  constexpr uint64_t kLow = 1000000000000000;  // 10^15
  constexpr uint64_t kHigh = 10 * kLow;
  uint64_t d = m;
  if (q < 0) {
    for (int i = 0; i < -q; ++i) {
      if (d >= kHigh) return false;
      d *= 5;
    }
  } else {
    for (int i = 0; i < q; ++i) {
      if (d % 5 != 0) return false;
      d /= 5;
    }
    if (d % 5 != 0) return false;
  }
  if (d < kLow || d >= kHigh) return false;
  uint64_t rounded = d / 10 + 1;
  out.exponent = q + 15;
  if (rounded == kLow) {
    rounded /= 10;
    ++out.exponent;
  }
  for (int i = kDigits - 1; i >= 0; --i) {
    out.digit[i] = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  }
  out.count = kDigits;
  return true;
}

// The exact value rounded to 15 digits. std::to_chars rounds halves to even,
// but no halves reach it: RoundTie takes them all.
//
// (Starting from the shortest text that reads back, and rounding that when it
// is safe, saves no time: the shortest conversion costs half the rounding one
// and most computed values need both.)
void ToDigits(double magnitude, Digits& out) {
  if (RoundTie(magnitude, out)) return;
  // d.dddddddddddddde[+-]dd[d]
  char text[40];
  const char* end =
      std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, kDigits - 1)
          .ptr;
  out.digit[0] = text[0];
  std::copy_n(text + 2, kDigits - 1, out.digit + 1);
  const char* p = text + kDigits + 2;
  const bool negative_exponent = *p++ == '-';
  int exponent = 0;
  for (; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  out.exponent = negative_exponent ? -exponent : exponent;
  out.count = kDigits;
}

// Writes the number text into `text` (room for 32 characters) and returns its end.
char* WriteFloatText(char* text, double value, char decimal_separator) {
  if (std::isnan(value)) return std::copy_n("NAN", 3, text);
  if (std::isinf(value))
    return value < 0 ? std::copy_n("-INF", 4, text) : std::copy_n("INF", 3, text);
  if (value == 0) {
    *text = '0';
    return text + 1;
  }
  // Whole numbers are by far the most common values in scripts.
  if (std::fabs(value) < kWholeLimit && value == std::trunc(value)) {
    return std::to_chars(text, text + 32, static_cast<int64_t>(value)).ptr;
  }

  Digits digits;
  ToDigits(std::fabs(value), digits);
  const char* digit = digits.digit;
  int count = digits.count;
  while (count > 1 && digit[count - 1] == '0') --count;
  const int exponent = digits.exponent;

  char* o = text;
  if (value < 0) *o++ = '-';
  if (exponent >= -5 && exponent < kDigits) {
    if (exponent < 0) {
      *o++ = '0';
      *o++ = decimal_separator;
      for (int i = -1; i > exponent; --i) *o++ = '0';
      for (int i = 0; i < count; ++i) *o++ = digit[i];
    } else {
      for (int i = 0; i <= exponent; ++i) *o++ = i < count ? digit[i] : '0';
      if (count > exponent + 1) {
        *o++ = decimal_separator;
        for (int i = exponent + 1; i < count; ++i) *o++ = digit[i];
      }
    }
  } else {
    *o++ = digit[0];
    if (count > 1) {
      *o++ = decimal_separator;
      for (int i = 1; i < count; ++i) *o++ = digit[i];
    }
    *o++ = 'E';
    if (exponent < 0) *o++ = '-';
    o = std::to_chars(o, text + 32, exponent < 0 ? -exponent : exponent).ptr;
  }
  return o;
}

// strtod under the C locale, independent of whatever locale the process set.
double StrtodC(const char* text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return strtod_l(text, nullptr, c_locale);
}

}  // namespace

void AppendFloatText(std::string& out, double value, char decimal_separator) {
  char text[32];
  out.append(text, WriteFloatText(text, value, decimal_separator));
}

std::string FloatToText(double value, char decimal_separator) {
  char text[32];
  return std::string(text, WriteFloatText(text, value, decimal_separator));
}

std::optional<double> TextToFloat(std::string_view text, char decimal_separator) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  bool negative = false;
  if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
    negative = text[begin] == '-';
    ++begin;
  }
  // Check the grammar first; the conversion routines accept more than it allows.
  size_t i = begin;
  size_t digit_count = 0;
  size_t separator_at = std::string_view::npos;
  for (; i < end; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digit_count;
    } else if (c == decimal_separator && separator_at == std::string_view::npos) {
      separator_at = i;
    } else {
      break;
    }
  }
  if (digit_count == 0) return std::nullopt;
  if (i < end) {
    if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t exponent_digits = i;
    while (i < end && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == exponent_digits || i != end) return std::nullopt;
  }

  const std::string_view body = text.substr(begin, end - begin);
  std::string copy;
  const char* first = body.data();
  const char* last = first + body.size();
  // The conversion below needs '.' as separator and, on its slow path, a
  // terminated string.
  if (decimal_separator != '.' && separator_at != std::string_view::npos) {
    copy.assign(body);
    copy[separator_at - begin] = '.';
    first = copy.data();
    last = first + copy.size();
  }
  double value = 0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    if (copy.empty()) copy.assign(body);
    value = StrtodC(copy.c_str());
    if (std::isinf(value)) return std::nullopt;
  } else if (result.ec != std::errc() || result.ptr != last) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<int64_t> RoundHalfEven(double value) {
  if (std::isnan(value)) return std::nullopt;
  const double below = std::floor(value);
  // Exact: below is within one of value, or equal to it beyond 2^52.
  const double fraction = value - below;
  double rounded = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0)) rounded = below + 1;
  // -2^63 is representable; 2^63 is the first value beyond the range.
  if (rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0) return std::nullopt;
  return static_cast<int64_t>(rounded);
}

}  // namespace morvane
