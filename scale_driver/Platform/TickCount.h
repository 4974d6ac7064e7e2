// The system's millisecond tick count and the time between two readings.
// The count wraps around to 0 every 2^32 ms (about 49.7 days); the difference
// of two readings taken as an unsigned 32-bit number is still the time that
// passed between them, so waits measured this way survive the wrap.
#pragma once

#include <cstdint>

namespace pondrex {

// Milliseconds from the reading start to the later reading now.
constexpr uint32_t ElapsedTicks(uint32_t start, uint32_t now) {
  return static_cast<uint32_t>(now - start);
}

// True when more than limitMs passed from start to now.
constexpr bool ElapsedMoreThan(uint32_t start, uint32_t now, uint32_t limitMs) {
  return ElapsedTicks(start, now) > limitMs;
}

} // namespace pondrex
