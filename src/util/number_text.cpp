#include "util/number_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <system_error>

namespace morvane {

namespace {

constexpr int kDigits = 15;

// Largest magnitude below which every whole double has at most 15 digits.
constexpr double kWholeLimit = 1e15;

std::string WholeToText(double value) {
  char buffer[24];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(value));
  return std::string(buffer, result.ptr);
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

  // Correctly rounded to 15 significant digits: [-]d.dddddddddddddde[+-]dd[d]
  char scientific[40];
  const auto converted = std::to_chars(scientific, scientific + sizeof scientific, value,
                                       std::chars_format::scientific, kDigits - 1);
  const char* p = scientific;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[kDigits];
  digits[0] = *p++;
  ++p;  // the '.'
  for (int i = 1; i < kDigits; ++i) digits[i] = *p++;
  ++p;  // the 'e'
  const bool negative_exponent = *p++ == '-';
  int exponent = 0;
  for (; p < converted.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  if (negative_exponent) exponent = -exponent;
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
