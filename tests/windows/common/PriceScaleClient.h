// The control connection to the simulated price-computing scale
// (ptypeer.py --device pricescale): the price bus at 9600 baud, steered
// here, and the simulated weighing scale at every other rate, steered
// through the ScaleClient calls. Every call throws std::runtime_error when
// the peer refuses it.
#pragma once

#include "PeerClient.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pos::test {

class PriceScaleClient : public ScaleClient {
public:
  static constexpr size_t TableBytes = 70 * 4;

  // Both scales back to their defaults, memory zeroed, logs emptied.
  void resetBoth();
  // Answers to the inputs that begin with byte (a command byte or a frame's
  // Dt), one per input, the last repeating: "06", "02", "15", "AA" or
  // "SILENT". priceDefault(byte) undoes it.
  void priceOn(uint8_t byte, const std::vector<std::string> &replies);
  void priceDefault(uint8_t byte);
  // Sends bytes on their own before each answer to inputs that begin with
  // byte; empty bytes stop it.
  void priceBefore(uint8_t byte, const std::vector<uint8_t> &bytes);
  // The 70 slots of 4 bytes (unit code, price in hundredths, 3 bytes).
  void setTable(const std::vector<uint8_t> &table);
  std::vector<uint8_t> table();
  // What the price scale received, oldest first ("cmd", "short", "frame",
  // "request", "badframe" or "raw"), after waiting up to timeoutMs for at
  // least atLeast entries.
  std::vector<ScaleLogEntry> priceLog(size_t atLeast = 0, uint32_t timeoutMs = 0);
};

} // namespace pos::test
