// The report's UTF-16 text at the Win32 boundary, where wide text is
// wchar_t (16 bits in this build).
#pragma once

#include <string>
#include <string_view>

namespace tavrel {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

// The text as the NUL-terminated wide string that Win32 functions take.
inline const wchar_t *WidePointer(const std::u16string &text) {
  return reinterpret_cast<const wchar_t *>(text.c_str());
}

// Wide text from Win32 as the report's text type.
std::u16string FromWide(std::wstring_view text);

// A NUL-terminated wide buffer up to its terminator, or the whole buffer
// when it holds none.
std::u16string FromWideBuffer(const wchar_t *buffer, size_t capacity);

// Text in the system's ANSI code page as wide text.
std::u16string DecodeAnsi(std::string_view bytes);

} // namespace tavrel
