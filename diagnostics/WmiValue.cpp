#include "WmiValue.h"

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
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + number % 10));
    number /= 10;
  } while (number != 0);
  return digits;
}

} // namespace tavrel
