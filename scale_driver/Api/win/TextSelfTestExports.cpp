// Exports that hand out a fixed decoded text, so that a host can check that
// it reads the library's wide text (UTF-16) correctly.
#include "TextSelfTest.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t));

namespace {

// The text that __GetUTF8 returned last; it stays valid until the next call.
std::u16string lastWideText;

} // namespace

// Returns the five characters followed by two zero code units.
extern "C" const wchar_t *__stdcall __GetUTF8() {
  lastWideText = pondrex::SelfTestWideText();
  return reinterpret_cast<const wchar_t *>(lastWideText.c_str());
}

// Writes exactly ten bytes (the five characters, no terminator) and returns
// a one-byte true. A null buffer is a caller error: nothing is written and
// the result is false, rather than a crash inside the host.
extern "C" uint8_t __stdcall __GetUTF8EX(uint8_t *buffer) {
  if (buffer == nullptr) {
    return 0;
  }
  const std::array<uint8_t, 10> bytes = pondrex::SelfTestWideBytes();
  std::memcpy(buffer, bytes.data(), bytes.size());
  return 1;
}
