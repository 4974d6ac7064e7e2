// A datagram client: sends one datagram at a time to a host and port and
// receives one datagram at a time with a time-out. Failures of the network
// are raised as EUdpError with a message text for the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace pondrex {

class EUdpError : public std::runtime_error {
public:
  explicit EUdpError(const std::string &message) : std::runtime_error(message) {}
};

class IUdpClient {
public:
  virtual ~IUdpClient();

  // The destination of Send and the only sender whose datagrams Receive
  // takes: a host name or a dotted IPv4 address, and a port. A change takes
  // effect at the next Send or Receive.
  virtual void SetTarget(const std::u16string &host, uint16_t port) = 0;

  // Sends the bytes as one datagram; throws EUdpError.
  virtual void Send(const uint8_t *data, size_t size) = 0;

  // Waits up to timeoutMs (0: only looks) for one datagram and copies at most
  // capacity bytes of it into buffer; the rest of a longer datagram is lost.
  // Returns the number of bytes copied, 0 when no datagram came in time.
  // Throws EUdpError. Nothing is pumped while it waits.
  virtual size_t Receive(uint8_t *buffer, size_t capacity, uint32_t timeoutMs) = 0;

  // Releases the socket; the next Send or Receive opens a new one.
  virtual void Close() = 0;
};

} // namespace pondrex
