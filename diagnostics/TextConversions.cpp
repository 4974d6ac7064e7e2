#include "TextConversions.h"

#include "Utf8Text.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <vector>

namespace tavrel {

std::u16string Utf8ToWideString(std::string_view utf8) {
  return pos::DecodeUtf8(utf8.substr(0, utf8.find('\0')));
}

std::u16string Utf8ToWide(std::string_view utf8) {
  return Utf8ToWideString(utf8);
}

std::u16string NarrowToWide(const std::string &text) {
  // Every character the locale can form takes at least one byte and gives
  // at most one wchar_t (two UTF-16 units on Windows only for four bytes),
  // so one unit per byte and a terminator always suffice. The conversion
  // is told the buffer's own size and so never writes past it.
  std::vector<wchar_t> buffer(text.size() + 1, L'\0');
  const size_t count = std::mbstowcs(buffer.data(), text.c_str(), buffer.size());
  if (count == static_cast<size_t>(-1)) {
    throw std::runtime_error("Conversion from UTF-8 to wstring failed");
  }
  std::u16string wide;
  wide.reserve(count);
  for (size_t i = 0; i < count && i < buffer.size(); ++i) {
    const auto cp = static_cast<char32_t>(buffer[i]);
    if constexpr (sizeof(wchar_t) >= 4) {
      if (cp >= 0x10000) {
        wide.push_back(static_cast<char16_t>(0xD800 | ((cp - 0x10000) >> 10)));
        wide.push_back(static_cast<char16_t>(0xDC00 | ((cp - 0x10000) & 0x3FF)));
        continue;
      }
    }
    wide.push_back(static_cast<char16_t>(cp));
  }
  return wide;
}

std::string ReplaceNewlinesWithSpaces(std::string text) {
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    text[at] = ' ';
  }
  return text;
}

bool ContainsText(std::string_view text, std::string_view needle) {
  return text.find(needle) != std::string_view::npos;
}

std::u16string LogAndConvertUtf8(std::string_view utf8) {
  std::cout << "delete exception char" << std::endl;
  return Utf8ToWideString(utf8);
}

} // namespace tavrel
