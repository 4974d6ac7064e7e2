// UTF-8 to UTF-16 decoding for texts that the library hands out as wide text.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pondrex {

// Decodes UTF-8 into UTF-16; characters above U+FFFF become surrogate pairs.
// Malformed input never fails and never reads past the end: each maximal
// invalid subsequence (a stray continuation byte, a truncated sequence, an
// overlong form, an encoded surrogate, a value above U+10FFFF, the bytes
// C0, C1 and F5 to FF) becomes one U+FFFD, and decoding goes on with the
// next byte. Zero bytes decode to U+0000 like any other character.
std::u16string DecodeUtf8(std::span<const uint8_t> bytes);

} // namespace pondrex
