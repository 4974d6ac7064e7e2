#include "WmiValue.h"

#include "DiagnosticSink.h"

namespace tavrel {

std::u16string TextOf(const WmiValue &value) {
  if (const auto *text = std::get_if<std::u16string>(&value)) {
    return *text;
  }
  return {};
}

bool IsTrue(const WmiValue &value) {
  const auto *flag = std::get_if<bool>(&value);
  return flag != nullptr && *flag;
}

bool NumberOf(const WmiValue &value, std::uint32_t &number) {
  if (const auto *n = std::get_if<std::uint32_t>(&value)) {
    number = *n;
    return true;
  }
  return false;
}

std::u16string UnsignedText(const WmiValue &value) {
  std::uint32_t number = 0;
  if (!NumberOf(value, number)) {
    return {};
  }
  return DecimalText(number);
}

} // namespace tavrel
