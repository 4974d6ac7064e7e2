// The status block that a device's boot loader returns to the status
// request: the first 112 of its 256 data bytes, multi-byte fields
// little-endian. Only IDCode and PLUCount mean anything to the driver.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace pondrex {

struct TEcrStatus {
  static constexpr size_t Size = 112;
  static constexpr size_t IDCodeSize = 64;

  uint16_t P447Ver = 0;
  uint16_t P438Ver = 0;
  uint16_t Rom0Type = 0;
  uint16_t Rom1Type = 0;
  uint8_t RamRetryCnt = 0;
  uint8_t Status = 0;
  uint8_t RamSize = 0;
  uint8_t BoardType = 0;
  uint16_t PLUCount = 0;
  uint8_t XWakeUp = 0;
  uint8_t AlteraVer = 0;
  std::array<uint8_t, IDCodeSize> IDCode{};
  std::array<uint8_t, 30> Reserved2{};
  uint8_t RamTestByte = 0;
  uint8_t Unused = 0;

  // The fields of the first Size bytes of block (missing bytes count as 0).
  static TEcrStatus FromBlock(std::span<const uint8_t> block);

  // IDCode as text: 16-bit little-endian characters up to the first zero
  // character, 32 at most.
  std::u16string IDCodeText() const;
};

} // namespace pondrex
