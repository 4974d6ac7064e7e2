// What the link's status event carries: the frame checker that took the
// answer, the answer's data, and the packets collected from the multi-packet
// reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pondrex {

class THecrprotocolCheck;

class TPelqoEventArgs {
public:
  // Four 32-byte slots, one per packet number 0 to 3 of the temperature-table
  // and wind-level reads.
  static constexpr size_t SlotSize = 32;
  static constexpr size_t SlotCount = 4;
  static constexpr size_t TmpBufferSize = SlotSize * SlotCount;

  // The link's frame checker once a frame has been checked, nullptr before.
  // Its ParaValue is byte 8 of the last checked frame.
  THecrprotocolCheck *htc1 = nullptr;
  // The frame just built for sending; then, when the status event is raised,
  // the data of the answer (empty when the answer carried none).
  std::vector<uint8_t> Buffer;
  // Always TmpBufferSize bytes. Cleared when packet 0 is sent; slot k holds
  // the first 32 data bytes of the checked answer to packet k.
  std::vector<uint8_t> TmpBuffer = std::vector<uint8_t>(TmpBufferSize, 0);
};

} // namespace pondrex
