#include "IBusBcd.h"

#include <cstddef>

namespace pondrex {

namespace {

uint64_t Magnitude(int32_t value) {
  const int64_t wide = value;
  return static_cast<uint64_t>(wide < 0 ? -wide : wide);
}

uint8_t PairOf(uint64_t value) {
  const uint64_t pair = value % 100;
  return static_cast<uint8_t>((pair / 10) << 4 | (pair % 10));
}

} // namespace

std::array<uint8_t, 4> IntToBcd(int32_t value) {
  std::array<uint8_t, 4> bytes{};
  uint64_t rest = Magnitude(value);
  for (size_t i = bytes.size(); i-- > 0;) {
    bytes[i] = PairOf(rest);
    rest /= 100;
  }
  return bytes;
}

uint8_t ByteToBcd(int32_t value) {
  return PairOf(Magnitude(value));
}

std::array<uint8_t, 4> IdToWire(int32_t id) {
  const std::array<uint8_t, 4> bcd = IntToBcd(id);
  return {bcd[3], bcd[2], bcd[1], bcd[0]};
}

} // namespace pondrex
