// Client for the control connection of ptypeer.py: lets a Windows test program
// write bytes from the far end of its COM port and see what reached it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pos::test {

struct LineSettings {
  uint32_t baud = 0;
  int dataBits = 0;
  char parity = '?';
  int stopBits = 0;
};

class PeerClient {
public:
  // Connects to 127.0.0.1 on the port in POS_PEER_PORT; throws std::runtime_error.
  PeerClient();
  ~PeerClient();
  PeerClient(const PeerClient &) = delete;
  PeerClient &operator=(const PeerClient &) = delete;

  // The COM port that the peer mapped (POS_COM_PORT), e.g. "COM9".
  static std::string comPort();

  void send(const std::vector<uint8_t> &bytes);
  // Waits up to timeoutMs for count bytes; returns what arrived, at most count.
  std::vector<uint8_t> receive(size_t count, uint32_t timeoutMs);
  // Every byte received and not yet taken.
  std::vector<uint8_t> takeAll();
  LineSettings line();
  // Baud rate in force for each received chunk, in order, repeats folded.
  std::vector<uint32_t> rates();
  void clear();

private:
  std::string call(const std::string &command);
  uintptr_t socket_;
  std::string pending_;
};

std::vector<uint8_t> fromHex(const std::string &hex);
std::string toHex(const std::vector<uint8_t> &bytes);

} // namespace pos::test
