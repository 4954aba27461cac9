#include "util/number_text.h"

#include <locale.h>
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

std::string WholeToText(double value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(value));
  return std::string(buffer, result.ptr);
}

// A value whose exact decimal expansion has exactly 16 significant digits, the
// last a 5, lies halfway between two 15-digit texts; it is rounded away from
// zero, as decimal rounding is taught. Fills `digits` and the decimal exponent
// of the first digit and returns true for such a value; false for all others.
//
// Such a value is D * 10^p with D an odd 16-digit multiple of 5, so its odd
// binary significand m and binary exponent q satisfy q == p and
// m == D * 5^p (p >= 0) or m * 5^-p == D (p < 0). That leaves q in [-22, 1].
bool RoundTie(double magnitude, char (&digits)[kDigits], int& exponent) {
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
  exponent = q + 15;
  if (rounded == kLow) {
    rounded /= 10;
    ++exponent;
  }
  for (int i = kDigits - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + rounded % 10);
    rounded /= 10;
  }
  return true;
}

// strtod under the C locale, independent of whatever locale the process set.
double StrtodC(const char* text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return strtod_l(text, nullptr, c_locale);
}

}  // namespace

std::string FloatToText(double value, char decimal_separator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // Whole numbers are by far the most common values in scripts.
  if (std::fabs(value) < kWholeLimit && value == std::trunc(value)) return WholeToText(value);

  char digits[kDigits];
  int exponent = 0;
  const bool negative = value < 0;
  if (!RoundTie(std::fabs(value), digits, exponent)) {
    // Correctly rounded, halves to even: [-]d.dddddddddddddde[+-]dd[d]. Halves
    // only occur in the case handled above, so the tie rule never applies here.
    char scientific[40];
    const auto converted = std::to_chars(scientific, scientific + sizeof scientific, value,
                                         std::chars_format::scientific, kDigits - 1);
    const char* p = scientific + (negative ? 1 : 0);
    digits[0] = *p++;
    ++p;  // the '.'
    for (int i = 1; i < kDigits; ++i) digits[i] = *p++;
    ++p;  // the 'e'
    const bool negative_exponent = *p++ == '-';
    for (; p < converted.ptr; ++p) exponent = exponent * 10 + (*p - '0');
    if (negative_exponent) exponent = -exponent;
  }
  int count = kDigits;
  while (count > 1 && digits[count - 1] == '0') --count;

  char out[40];
  char* o = out;
  if (negative) *o++ = '-';
  if (exponent >= -5 && exponent < kDigits) {
    if (exponent < 0) {
      *o++ = '0';
      *o++ = decimal_separator;
      for (int i = -1; i > exponent; --i) *o++ = '0';
      for (int i = 0; i < count; ++i) *o++ = digits[i];
    } else {
      for (int i = 0; i <= exponent; ++i) *o++ = i < count ? digits[i] : '0';
      if (count > exponent + 1) {
        *o++ = decimal_separator;
        for (int i = exponent + 1; i < count; ++i) *o++ = digits[i];
      }
    }
  } else {
    *o++ = digits[0];
    if (count > 1) {
      *o++ = decimal_separator;
      for (int i = 1; i < count; ++i) *o++ = digits[i];
    }
    *o++ = 'E';
    if (exponent < 0) *o++ = '-';
    o = std::to_chars(o, out + sizeof out, exponent < 0 ? -exponent : exponent).ptr;
  }
  return std::string(out, o);
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
