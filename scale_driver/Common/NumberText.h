#pragma once
// Number texts of the scale driver, in one place for every component:
// integers as decimal text, doubles in the general format, decimal text back
// to numbers, and doubles to integers with halves rounded to even.
//
// The general format of a double:
// - the value is rounded to 15 significant digits and trailing zeros are
//   dropped;
// - fixed notation when the rounded value has at most 15 digits before the
//   decimal point and is at least 0.00001 in magnitude: "12.34", "0.00001",
//   "123456789012345";
// - scientific notation otherwise: one digit, the fraction digits if any, "E",
//   a "-" for a negative exponent only, and the exponent without leading
//   zeros: "1E-6", "1.5E20", "-2.5E-7", "1E15";
// - zero of either sign is "0", NaN is "NAN", infinities are "INF" and "-INF".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pondrex {

// "-" followed by the digits for negative values; no padding, no grouping.
std::u16string IntToText(int64_t value);
std::string IntToNarrowText(int64_t value);

// A double in the general format with the given decimal separator.
std::u16string FloatToText(double value, char16_t decimalSeparator);
// The same with the decimal separator of the user's locale.
std::u16string FloatToText(double value);
std::string FloatToNarrowText(double value, char decimalSeparator);

// Decimal text to an integer: blanks at either end, an optional "+" or "-",
// then decimal digits only. Empty texts, other characters and values outside
// the 64-bit range give no value.
std::optional<int64_t> TextToInt(std::u16string_view text);
std::optional<int64_t> TextToInt(std::string_view text);

// Decimal text to a double: blanks at either end, an optional sign, digits
// with at most one decimal separator (at least one digit in all), then
// optionally "E" or "e", an optional sign and digits. Texts that do not have
// this form, and values too large for a double, give no value; values too
// small for a double become zero.
std::optional<double> TextToFloat(std::u16string_view text, char16_t decimalSeparator);
// The same with the decimal separator of the user's locale.
std::optional<double> TextToFloat(std::u16string_view text);
std::optional<double> TextToFloat(std::string_view text, char decimalSeparator);

// The nearest integer, halves to the even neighbour (2.5 -> 2, -2.5 -> -2,
// 3.5 -> 4). NaN, infinities and results outside the 64-bit range give no
// value.
std::optional<int64_t> RoundHalfEven(double value);

} // namespace pondrex
