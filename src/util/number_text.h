#pragma once

// Number text: the one text form in which numbers are written back into
// expressions, shown to the user and read again.
//
// Writing gives 15 significant digits in the general format: no trailing zeros,
// no separator for whole numbers, "-" for negative values, fixed notation when
// the magnitude is at least 0.00001 and there are at most 15 digits before the
// separator, otherwise mantissa, "E" and exponent (1E20, 1.5E-7). The decision
// is taken on the value after rounding to 15 digits, so 999999999999999.5
// becomes 1E15.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// Writes `value` as number text. Negative zero is written "0"; NaN and the
// infinities, which scripts cannot produce on purpose, are written "NAN",
// "INF" and "-INF".
std::string FloatToText(double value, char decimal_separator = '.');

// FloatToText appended to `out`, without a string of its own.
void AppendFloatText(std::string& out, double value, char decimal_separator = '.');

// Reads number text: optional spaces, an optional sign, digits with at most one
// decimal separator (at least one digit in all), an optional exponent ("E" or
// "e", optional sign, at least one digit), optional spaces. Nothing else is
// accepted; empty text is not a number. Values too large for a double are not
// numbers; values too small become zero of the same sign.
std::optional<double> TextToFloat(std::string_view text, char decimal_separator = '.');

// Rounds to the nearest integer, halves to the even neighbour. Empty for NaN
// and for results outside the 64-bit range.
std::optional<int64_t> RoundHalfEven(double value);

}  // namespace morvane
