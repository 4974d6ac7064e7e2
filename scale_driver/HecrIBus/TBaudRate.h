// The rates of the firmware bus. The download driver names them by ordinal;
// the connect packet announces the ordinal of the rate that the bus will run
// at once connected.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace pondrex {

enum class TBaudRate : uint8_t { tbr9600, tbr19200, tbr38400, tbr57600, tbr115200 };

// Bits per second of each TBaudRate, indexed by its ordinal.
inline constexpr std::array<uint32_t, 5> IBusBaudRates = {9600, 19200, 38400, 57600, 115200};

inline constexpr uint32_t IBusRate(TBaudRate rate) {
  return IBusBaudRates[static_cast<uint8_t>(rate)];
}

// The TBaudRate of a rate in bits per second; no value for a rate that the
// bus does not know.
inline constexpr std::optional<TBaudRate> IBusBaudRateOf(int32_t bitsPerSecond) {
  for (uint8_t i = 0; i < IBusBaudRates.size(); ++i) {
    if (static_cast<int64_t>(IBusBaudRates[i]) == bitsPerSecond)
      return static_cast<TBaudRate>(i);
  }
  return std::nullopt;
}

} // namespace pondrex
