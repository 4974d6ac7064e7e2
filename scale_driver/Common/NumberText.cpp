#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "SystemCodePage.h"

namespace pondrex {

namespace {

constexpr int SignificantDigits = 15;

std::u16string Widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Texts that hold anything outside ASCII cannot be numbers; the rest is
// handed to the narrow parsers.
std::optional<std::string> NarrowAscii(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t c : text) {
    if (c > 0x7F) {
      return std::nullopt;
    }
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

} // namespace

std::string IntToNarrowText(int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::u16string IntToText(int64_t value) {
  return Widen(IntToNarrowText(value));
}

std::string FloatToNarrowText(double value, char decimalSeparator) {
  if (std::isnan(value)) {
    return "NAN";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-INF" : "INF";
  }
  if (value == 0.0) {
    return "0";
  }
  // A whole number below 10^15 is its digits: the counts and AD values of
  // received frames take this short way.
  if (std::fabs(value) < 1e15 && std::trunc(value) == value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(value)).ptr;
    return std::string(digits, end);
  }
  // d.dddddddddddddde[+-]xx, correctly rounded to 15 significant digits.
  char buffer[40];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, SignificantDigits - 1);
  const std::string_view scientific(buffer, static_cast<size_t>(result.ptr - buffer));
  const size_t exponentMark = scientific.find('e');
  std::string digits;
  digits.push_back(scientific[0]);
  digits.append(scientific.substr(2, exponentMark - 2));
  while (digits.size() > 1 && digits.back() == '0') {
    digits.pop_back();
  }
  int exponent = 0;
  std::string_view exponentText = scientific.substr(exponentMark + 1);
  if (exponentText.front() == '+') {
    exponentText.remove_prefix(1);
  }
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

  std::string text = value < 0 ? "-" : "";
  const int digitCount = static_cast<int>(digits.size());
  if (exponent >= -5 && exponent < SignificantDigits) {
    if (exponent >= 0) {
      const int integerDigits = exponent + 1;
      if (digitCount <= integerDigits) {
        text += digits;
        text.append(static_cast<size_t>(integerDigits - digitCount), '0');
      } else {
        text.append(digits, 0, static_cast<size_t>(integerDigits));
        text.push_back(decimalSeparator);
        text.append(digits, static_cast<size_t>(integerDigits));
      }
    } else {
      text.push_back('0');
      text.push_back(decimalSeparator);
      text.append(static_cast<size_t>(-exponent - 1), '0');
      text += digits;
    }
  } else {
    text.push_back(digits[0]);
    if (digitCount > 1) {
      text.push_back(decimalSeparator);
      text.append(digits, 1);
    }
    text.push_back('E');
    text += IntToNarrowText(exponent);
  }
  return text;
}

std::u16string FloatToText(double value, char16_t decimalSeparator) {
  std::u16string text = Widen(FloatToNarrowText(value, '.'));
  for (char16_t &c : text) {
    if (c == u'.') {
      c = decimalSeparator;
    }
  }
  return text;
}

std::u16string FloatToText(double value) {
  return FloatToText(value, LocaleDecimalSeparator());
}

std::optional<int64_t> TextToInt(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  // Accumulated negatively, so that the most negative value still fits.
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) {
      return std::nullopt;
    }
    const int64_t digit = c - '0';
    if (value < (INT64_MIN + digit) / 10) {
      return std::nullopt;
    }
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == INT64_MIN) {
      return std::nullopt;
    }
    value = -value;
  }
  return value;
}

std::optional<int64_t> TextToInt(std::u16string_view text) {
  const auto narrow = NarrowAscii(text);
  return narrow ? TextToInt(std::string_view(*narrow)) : std::nullopt;
}

std::optional<double> TextToFloat(std::string_view text, char decimalSeparator) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // The checked number with "." as its separator, for std::from_chars, and
  // the power of ten of its first significant digit, to tell an overflow
  // from an underflow.
  std::string number;
  size_t i = 0;
  int mantissaDigits = 0;
  bool significant = false;
  int64_t leadExponent = -1;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) {
    significant = significant || text[i] != '0';
    leadExponent += significant ? 1 : 0;
    number.push_back(text[i]);
  }
  if (i < text.size() && text[i] == decimalSeparator) {
    number.push_back('.');
    if (!significant) {
      leadExponent = 0;
    }
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) {
      leadExponent -= significant ? 0 : 1;
      significant = significant || text[i] != '0';
      number.push_back(text[i]);
    }
  }
  if (mantissaDigits == 0) {
    return std::nullopt;
  }
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    number.push_back('e');
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negativeExponent = text[i] == '-';
      number.push_back(text[i]);
      ++i;
    }
    const size_t exponentStart = i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      number.push_back(text[i]);
      if (exponent < 1000000) {
        exponent = exponent * 10 + (text[i] - '0');
      }
    }
    if (i == exponentStart) {
      return std::nullopt;
    }
    exponent = negativeExponent ? -exponent : exponent;
  }
  if (i != text.size()) {
    return std::nullopt;
  }
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ptr != number.data() + number.size()) {
    return std::nullopt;
  }
  if (result.ec == std::errc::result_out_of_range) {
    // Below the smallest double the value is zero; above the largest there
    // is no number.
    if (!significant || leadExponent + exponent < 0) {
      value = 0.0;
    } else {
      return std::nullopt;
    }
  } else if (result.ec != std::errc()) {
    return std::nullopt;
  }
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<double> TextToFloat(std::u16string_view text, char16_t decimalSeparator) {
  // The separator may lie outside ASCII; it is handed on as a byte that no
  // ASCII text holds.
  constexpr char SeparatorMark = static_cast<char>(0x80);
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t c : text) {
    if (c == decimalSeparator) {
      narrow.push_back(SeparatorMark);
    } else if (c > 0x7F) {
      return std::nullopt;
    } else {
      narrow.push_back(static_cast<char>(c));
    }
  }
  return TextToFloat(std::string_view(narrow), SeparatorMark);
}

std::optional<double> TextToFloat(std::u16string_view text) {
  return TextToFloat(text, LocaleDecimalSeparator());
}

std::optional<int64_t> RoundHalfEven(double value) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  // value - floor(value) is exact for every finite double.
  const double below = std::floor(value);
  const double fraction = value - below;
  double rounded = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
    rounded = below + 1.0;
  }
  constexpr double TwoPow63 = 9223372036854775808.0;
  if (rounded < -TwoPow63 || rounded >= TwoPow63) {
    return std::nullopt;
  }
  return static_cast<int64_t>(rounded);
}

} // namespace pondrex
