// Packed BCD as the firmware bus sends numbers: two decimal digits per
// byte, the tens digit in the high nibble.
#pragma once

#include <array>
#include <cstdint>

namespace pondrex {

// The 8 least significant decimal digits of value as 4 bytes, most
// significant pair first: 1234 gives 00 00 12 34. A negative value, which
// no caller passes, gives the digits of its magnitude.
std::array<uint8_t, 4> IntToBcd(int32_t value);

// The packed BCD byte of the value's last two decimal digits: 2026 gives 26.
uint8_t ByteToBcd(int32_t value);

// An ECR ID as the packets carry it: IntToBcd, least significant pair first
// (1234 gives 34 12 00 00).
std::array<uint8_t, 4> IdToWire(int32_t id);

} // namespace pondrex
