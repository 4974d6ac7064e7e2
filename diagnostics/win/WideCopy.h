#pragma once
// Between the portable report texts (char16_t) and Win32 wide strings
// (wchar_t, also UTF-16 with mingw-w64): the same code units, copied.
#include <string>

namespace tavrel {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

inline std::wstring ToWide(const std::u16string &text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string ToU16(const std::wstring &text) { return std::u16string(text.begin(), text.end()); }

} // namespace tavrel
