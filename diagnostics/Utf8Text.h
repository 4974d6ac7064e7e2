// UTF-8 encoding and decoding of the report's wide (UTF-16) text.
#pragma once

#include <string>
#include <string_view>

namespace tavrel {

// Encodes UTF-16 text as UTF-8, without a byte-order mark. A surrogate pair
// becomes one four-byte sequence; a surrogate without its partner becomes
// U+FFFD, so the result is always valid UTF-8. NUL characters are kept.
std::string EncodeUtf8(std::u16string_view text);

// Decodes UTF-8 bytes into UTF-16 text. Every maximal ill-formed subsequence
// (stray continuation bytes, truncated or overlong sequences, encoded
// surrogates, values above U+10FFFF) becomes one U+FFFD. NUL bytes are kept.
std::u16string DecodeUtf8(std::string_view bytes);

} // namespace tavrel
