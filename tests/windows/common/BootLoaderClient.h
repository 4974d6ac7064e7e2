// The control connection to the simulated boot loader (ptypeer.py --device
// bootloader): the scale's commands (ScaleClient), and how the boot loader
// answers each kind of request and what it recognised on its line.
#pragma once

#include "PeerClient.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pos::test {

// How the boot loader answers one request.
struct BootReply {
  enum class Kind { Ack, Refuse, Silent, Data, BadSum, Raw };
  Kind kind = Kind::Ack;
  std::vector<uint8_t> bytes; // Data, BadSum: the answer's data bytes; Raw: the bytes sent

  static BootReply ack() { return {}; }
  static BootReply refuse() { return {Kind::Refuse, {}}; }
  static BootReply silent() { return {Kind::Silent, {}}; }
  static BootReply data(std::vector<uint8_t> bytes) { return {Kind::Data, std::move(bytes)}; }
  static BootReply badSum(std::vector<uint8_t> bytes) { return {Kind::BadSum, std::move(bytes)}; }
};

// The kinds of request: "CONNECT", "DISCONNECT", "STATUS", "CHECK", "START",
// "END", "BLOCK", "OTHER".
class BootLoaderClient : public ScaleClient {
public:
  // Default answers and empty logs, the scale's too; the device is the
  // scale again.
  void bootReset();
  // Answer only at that rate (an acknowledged connect moves to the rate it
  // announces), or at any rate.
  void bootAnswerOnlyAt(uint32_t baud);
  // Answers for one kind of request, one per request, the last repeating.
  void bootOn(const std::string &request, const std::vector<BootReply> &replies);
  // The data bytes of the status block.
  void bootStatus(const std::vector<uint8_t> &block);
  // Back to being the scale.
  void bootLeave();
  // What the boot loader recognised ("force", "burst", "frame" with the
  // decoded 261-byte packet, "badframe", "raw"), oldest first, after waiting
  // up to timeoutMs for at least atLeast entries; times and rates are those
  // of each entry's first byte.
  std::vector<ScaleLogEntry> bootLog(size_t atLeast = 0, uint32_t timeoutMs = 0);
};

} // namespace pos::test
