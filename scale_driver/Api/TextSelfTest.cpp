#include "TextSelfTest.h"

#include "Utf8Text.h"

namespace pondrex {

namespace {

// U+056D U+0576 U+0571 U+0578 U+0580 in UTF-8: five two-byte characters.
constexpr std::array<uint8_t, 10> kSampleUtf8 = {0xD5, 0xAD, 0xD5, 0xB6, 0xD5, 0xB1, 0xD5, 0xB8, 0xD6, 0x80};

} // namespace

std::u16string SelfTestWideText() {
  std::u16string text = pos::DecodeUtf8(kSampleUtf8);
  text.push_back(u'\0');
  return text;
}

std::array<uint8_t, 10> SelfTestWideBytes() {
  const std::u16string text = SelfTestWideText();
  std::array<uint8_t, 10> bytes{};
  for (size_t i = 0; i < bytes.size() / 2 && i < text.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  return bytes;
}

} // namespace pondrex
