#pragma once
// Single-byte text of the system code page (the ANSI code page of Windows)
// and the locale's decimal separator. On Windows they come from the system;
// native builds use Windows-1252 and ".".
#include <optional>
#include <string>
#include <string_view>

namespace pondrex {

// Bytes of the system code page to UTF-16. No value when the system refuses
// the conversion.
std::optional<std::u16string> SystemBytesToText(std::string_view bytes);
// UTF-16 to bytes of the system code page; characters that the code page
// lacks become "?". No value when the system refuses the conversion.
std::optional<std::string> TextToSystemBytes(std::u16string_view text);

// The first character of the user's locale decimal separator.
char16_t LocaleDecimalSeparator();

// Windows-1252, byte for byte as Windows converts it: the five bytes that the
// code page leaves undefined (81, 8D, 8F, 90, 9D) map to the control
// characters of the same value, and back.
std::u16string Windows1252ToText(std::string_view bytes);
// Characters outside Windows-1252 become "?".
std::string TextToWindows1252(std::u16string_view text);

} // namespace pondrex
