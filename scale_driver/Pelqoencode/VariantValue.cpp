#include "VariantValue.h"

#include <cmath>
#include <string_view>

#include "NumberText.h"

namespace pondrex {

namespace {

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

void AppendPadded(std::u16string &text, int32_t value, size_t width) {
  const std::u16string digits = IntToText(value);
  text.append(digits.size() < width ? width - digits.size() : 0, u'0');
  text += digits;
}

// A run of exactly `width` decimal digits at `pos`, followed by `separator`
// unless the run ends the text.
std::optional<int32_t> ReadField(std::u16string_view text, size_t pos, size_t width, char16_t separator) {
  if (pos + width > text.size() || (pos + width < text.size() && text[pos + width] != separator)) {
    return std::nullopt;
  }
  int32_t value = 0;
  for (size_t i = pos; i < pos + width; ++i) {
    if (text[i] < u'0' || text[i] > u'9') {
      return std::nullopt;
    }
    value = value * 10 + (text[i] - u'0');
  }
  return value;
}

std::optional<TDateTime> TextToDateTime(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() == u' ') {
    text.remove_suffix(1);
  }
  // yyyy-MM-dd, optionally followed by " hh:mm:ss".
  if (text.size() != 10 && text.size() != 19) {
    return std::nullopt;
  }
  TDateTimeParts parts;
  const auto year = ReadField(text, 0, 4, u'-');
  const auto month = ReadField(text, 5, 2, u'-');
  const auto day = ReadField(text, 8, 2, u' ');
  if (!year || !month || !day) {
    return std::nullopt;
  }
  parts.Year = *year;
  parts.Month = *month;
  parts.Day = *day;
  if (text.size() == 19) {
    const auto hour = ReadField(text, 11, 2, u':');
    const auto minute = ReadField(text, 14, 2, u':');
    const auto second = ReadField(text, 17, 2, u'\0');
    if (!hour || !minute || !second) {
      return std::nullopt;
    }
    parts.Hour = *hour;
    parts.Minute = *minute;
    parts.Second = *second;
  }
  return EncodeDateTime(parts);
}

std::u16string DateTimeToText(TDateTime value) {
  const auto parts = DecodeDateTime(value);
  if (!parts) {
    return FloatToText(value.Value);
  }
  std::u16string text;
  AppendPadded(text, parts->Year, 4);
  text += u'-';
  AppendPadded(text, parts->Month, 2);
  text += u'-';
  AppendPadded(text, parts->Day, 2);
  text += u' ';
  AppendPadded(text, parts->Hour, 2);
  text += u':';
  AppendPadded(text, parts->Minute, 2);
  text += u':';
  AppendPadded(text, parts->Second, 2);
  return text;
}

} // namespace

std::u16string VariantToText(const TVariantValue &value) {
  return std::visit(Overloaded{
                        [](const std::u16string &text) { return text; },
                        [](int32_t number) { return IntToText(number); },
                        [](double number) { return FloatToText(number); },
                        [](TDateTime dateTime) { return DateTimeToText(dateTime); },
                    },
                    value);
}

std::optional<double> VariantToDouble(const TVariantValue &value) {
  return std::visit(Overloaded{
                        [](const std::u16string &text) { return TextToFloat(text); },
                        [](int32_t number) { return std::optional<double>(number); },
                        [](double number) { return std::optional<double>(number); },
                        [](TDateTime dateTime) { return std::optional<double>(dateTime.Value); },
                    },
                    value);
}

std::optional<TDateTime> VariantToDateTime(const TVariantValue &value) {
  const auto fromNumber = [](double number) -> std::optional<TDateTime> {
    if (!std::isfinite(number)) {
      return std::nullopt;
    }
    return TDateTime{number};
  };
  return std::visit(Overloaded{
                        [](const std::u16string &text) { return TextToDateTime(text); },
                        [&](int32_t number) { return fromNumber(number); },
                        [&](double number) { return fromNumber(number); },
                        [&](TDateTime dateTime) { return fromNumber(dateTime.Value); },
                    },
                    value);
}

} // namespace pondrex
