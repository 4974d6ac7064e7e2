// A price-computing scale on a serial line of the fake platform, for the
// tests of the price bus and of the price exports: it acknowledges every
// block written to it with 0x06, keeps the 70-slot PLU table that data
// frames to it write, and answers upload requests from that table.
#pragma once

#include "PriceFrames.h"
#include "TFakeSerialLine.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace pondrex::test {

class TPriceScaleFake {
public:
  static constexpr size_t Slots = 70;
  static constexpr uint16_t FirstSlotAddress = 0x00E0;

  explicit TPriceScaleFake(TFakeSerialLine &line);

  // The four bytes of slot 1 .. 70: unit code and 3-byte price.
  std::array<uint8_t, 4> Slot(size_t slot) const;
  void SetSlot(size_t slot, std::array<uint8_t, 4> bytes);

  // Nothing is answered.
  bool Silent = false;
  // Sent for every block instead of the usual answer, when set.
  std::optional<Bytes> Answer;
  // Bytes sent on their own before the answer to every block whose first
  // byte is the key (a weight or text frame during the wait).
  std::map<uint8_t, Bytes> Before;
  // The next this many upload replies carry a wrong check byte.
  int CorruptReplies = 0;
  uint32_t DelayMs = 5;

private:
  void Respond(TFakeSerialLine &line, const Bytes &block);

  std::array<uint8_t, Slots * 4> table_{};
};

} // namespace pondrex::test
