// Native builds: the system code page is Windows-1252 and the decimal
// separator is ".".
#include "SystemCodePage.h"

namespace pondrex {

std::optional<std::u16string> SystemBytesToText(std::string_view bytes) {
  return Windows1252ToText(bytes);
}

std::optional<std::string> TextToSystemBytes(std::u16string_view text) {
  return TextToWindows1252(text);
}

char16_t LocaleDecimalSeparator() {
  return u'.';
}

} // namespace pondrex
