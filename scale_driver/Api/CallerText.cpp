#include "CallerText.h"

#include "SystemCodePage.h"

#include <cstring>

namespace pondrex::api {

namespace {

// The code units of the character at the start of text: two for a
// surrogate pair, else one.
size_t CharacterLength(std::u16string_view text) {
  const bool pair =
      text.size() >= 2 && text[0] >= 0xD800 && text[0] <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF;
  return pair ? 2 : 1;
}

} // namespace

size_t CopyToCallerBuffer(std::u16string_view text, char *buffer, size_t room, TToSystemBytes toSystemBytes) {
  if (buffer == nullptr || room == 0)
    return 0;
  if (toSystemBytes == nullptr)
    toSystemBytes = &TextToSystemBytes;
  // Character by character, so that the cut falls between characters of the
  // converted text whatever their width in the code page.
  std::string bytes;
  while (!text.empty()) {
    const size_t length = CharacterLength(text);
    const std::optional<std::string> converted = toSystemBytes(text.substr(0, length));
    if (!converted || bytes.size() + converted->size() > room - 1)
      break;
    bytes += *converted;
    text.remove_prefix(length);
  }
  std::memcpy(buffer, bytes.data(), bytes.size());
  buffer[bytes.size()] = '\0';
  return bytes.size() + 1;
}

const char *TLifetimeTexts::Keep(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (const auto found = kept_.find(text); found != kept_.end())
    return found->second;
  char *copy = allocate_ ? allocate_(text.size() + 1) : nullptr;
  if (copy == nullptr)
    return nullptr;
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  kept_.emplace(std::string(text), copy);
  return copy;
}

} // namespace pondrex::api
