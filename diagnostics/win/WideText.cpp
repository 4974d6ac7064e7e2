#include "WideText.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace tavrel {

std::u16string FromWide(std::wstring_view text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    out[i] = static_cast<char16_t>(text[i]);
  }
  return out;
}

std::u16string FromWideBuffer(const wchar_t *buffer, size_t capacity) {
  std::wstring_view text(buffer, capacity);
  return FromWide(text.substr(0, text.find(L'\0')));
}

std::u16string DecodeAnsi(std::string_view bytes) {
  // MultiByteToWideChar counts in int; a capture beyond that is cut.
  const int length = static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX));
  if (length == 0) {
    return u"";
  }
  const int needed = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) {
    return u"";
  }
  std::vector<wchar_t> wide(static_cast<size_t>(needed));
  const int written = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), needed);
  return FromWide(std::wstring_view(wide.data(), static_cast<size_t>(written > 0 ? written : 0)));
}

} // namespace tavrel
