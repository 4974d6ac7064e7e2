// Windows: the ANSI code page of the system and the user's locale.
#include <windows.h>

#include <climits>

#include "SystemCodePage.h"

namespace pondrex {

std::optional<std::u16string> SystemBytesToText(std::string_view bytes) {
  if (bytes.empty()) {
    return std::u16string();
  }
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    return std::nullopt;
  }
  const int byteCount = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), byteCount, nullptr, 0);
  if (length <= 0) {
    return std::nullopt;
  }
  std::u16string text(static_cast<size_t>(length), u'\0');
  if (MultiByteToWideChar(CP_ACP, 0, bytes.data(), byteCount, reinterpret_cast<wchar_t *>(text.data()),
                          length) != length) {
    return std::nullopt;
  }
  return text;
}

std::optional<std::string> TextToSystemBytes(std::u16string_view text) {
  if (text.empty()) {
    return std::string();
  }
  if (text.size() > static_cast<size_t>(INT_MAX)) {
    return std::nullopt;
  }
  const auto *wide = reinterpret_cast<const wchar_t *>(text.data());
  const int charCount = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, wide, charCount, nullptr, 0, nullptr, nullptr);
  if (length <= 0) {
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, wide, charCount, bytes.data(), length, nullptr, nullptr) != length) {
    return std::nullopt;
  }
  return bytes;
}

char16_t LocaleDecimalSeparator() {
  wchar_t separator[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 0 || separator[0] == L'\0') {
    return u'.';
  }
  return static_cast<char16_t>(separator[0]);
}

} // namespace pondrex
