// The fixed text of the self-test exports, which let a host check that it
// reads the library's wide text correctly.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pondrex {

// The decoded sample with one U+0000 appended: six code units, so its
// c_str() ends in two zero code units.
std::u16string SelfTestWideText();

// The first ten bytes of that text as UTF-16LE: the five characters,
// without a terminator.
std::array<uint8_t, 10> SelfTestWideBytes();

} // namespace pondrex
