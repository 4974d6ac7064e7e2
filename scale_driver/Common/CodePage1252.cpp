#include "SystemCodePage.h"

#include <cstdint>

namespace pondrex {

namespace {

// Bytes 80 to 9F of Windows-1252; the five undefined ones keep their value.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

std::u16string Windows1252ToText(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char byte : bytes) {
    const auto value = static_cast<uint8_t>(byte);
    text.push_back(value >= 0x80 && value < 0xA0 ? HighControls[value - 0x80] : char16_t{value});
  }
  return text;
}

std::string TextToWindows1252(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char16_t c : text) {
    char byte = '?';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      byte = static_cast<char>(c);
    } else {
      for (uint8_t i = 0; i < 32; ++i) {
        if (HighControls[i] == c) {
          byte = static_cast<char>(0x80 + i);
          break;
        }
      }
    }
    bytes.push_back(byte);
  }
  return bytes;
}

} // namespace pondrex
