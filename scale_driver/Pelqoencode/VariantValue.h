#pragma once
// The value that the field codec takes and returns: a text, a 32-bit integer,
// a double or a date-time, with the conversions between them.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

#include "DateTimeValue.h"

namespace pondrex {

using TVariantValue = std::variant<std::u16string, int32_t, double, TDateTime>;

// Raised when a value cannot be turned into the type an operation needs.
class EVariantCastError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Texts stay as they are, numbers become number texts (general format with
// the locale's decimal separator), a date-time becomes "yyyy-MM-dd hh:mm:ss"
// (24-hour clock; a date-time outside the years 1 to 9999 becomes its number).
std::u16string VariantToText(const TVariantValue &value);

// Numbers as they are, a date-time as its day count, a text read as a
// decimal number with the locale's separator; no value when it is not one.
std::optional<double> VariantToDouble(const TVariantValue &value);

// A date-time as it is, a number as a day count, a text of the form
// "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss" (blanks at either end allowed); no
// value for other texts, dates or times that do not exist, and numbers that
// are not finite.
std::optional<TDateTime> VariantToDateTime(const TVariantValue &value);

} // namespace pondrex
