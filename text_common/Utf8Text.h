// UTF-8 encoding and decoding of wide (UTF-16) text, shared by the scale
// driver and the diagnostic program.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pos {

// Encodes UTF-16 text as UTF-8, without a byte-order mark. A surrogate pair
// becomes one four-byte sequence; a surrogate without its partner becomes
// U+FFFD, so the result is always valid UTF-8. NUL characters are kept.
std::string EncodeUtf8(std::u16string_view text);

// Decodes UTF-8 into UTF-16; characters above U+FFFF become surrogate pairs.
// Malformed input never fails and never reads past the end: each maximal
// invalid subsequence (a stray continuation byte, a truncated sequence, an
// overlong form, an encoded surrogate, a value above U+10FFFF, the bytes
// C0, C1 and F5 to FF) becomes one U+FFFD, and decoding goes on with the
// next byte. Zero bytes decode to U+0000 like any other character.
std::u16string DecodeUtf8(std::span<const uint8_t> bytes);

// The same for bytes held as narrow text.
inline std::u16string DecodeUtf8(std::string_view bytes) {
  return DecodeUtf8(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
}

} // namespace pos
