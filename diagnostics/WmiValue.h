#pragma once
// A property value read from a WMI result object, kept only as the kind of
// value it really holds. A null or unreadable value, or one of a kind the
// report has no use for, is "none"; nothing is ever read as another kind.
#include <cstdint>
#include <string>
#include <variant>

namespace tavrel {

// none | text | boolean | unsigned 32-bit number. WMI hands out its 8-, 16-
// and 32-bit unsigned properties as signed integers of the same width; the
// number keeps their bits, so a uint32 property of 4294967295 that arrives as
// -1 stays 4294967295.
using WmiValue = std::variant<std::monostate, std::u16string, bool, std::uint32_t>;

// The text of a text value; empty for none and every other kind.
std::u16string TextOf(const WmiValue &value);

// True only for a boolean value that is true.
bool IsTrue(const WmiValue &value);

// The number in unsigned decimal; empty when the value holds no number.
std::u16string UnsignedText(const WmiValue &value);

// The number, when the value holds one.
bool NumberOf(const WmiValue &value, std::uint32_t &number);

} // namespace tavrel
