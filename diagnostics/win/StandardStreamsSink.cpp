#include "StandardStreamsSink.h"

#include <iostream>
#include <string>

namespace tavrel {

void StandardStreamsSink::WriteWide(std::u16string_view text) {
  std::wstring wide(text.size(), L'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    wide[i] = static_cast<wchar_t>(text[i]);
  }
  std::wcerr << wide << std::flush;
  std::wcerr.clear();
}

void StandardStreamsSink::WriteNarrow(std::string_view text) {
  std::cerr << text << std::flush;
  std::cerr.clear();
}

} // namespace tavrel
