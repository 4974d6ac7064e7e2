// The datagram client on Win32: an IPv4 UDP socket connected to the target,
// so that Receive takes datagrams from the target only. The socket is made
// at the first Send or Receive after SetTarget or Close.
#pragma once

#include "IUdpClient.h"
#include "TWinsock.h"

#include <memory>
#include <string>

namespace pondrex {

class TWinUdpClient final : public IUdpClient {
public:
  TWinUdpClient() = default;
  ~TWinUdpClient() override;
  TWinUdpClient(const TWinUdpClient &) = delete;
  TWinUdpClient &operator=(const TWinUdpClient &) = delete;

  void SetTarget(const std::u16string &host, uint16_t port) override;
  void Send(const uint8_t *data, size_t size) override;
  size_t Receive(uint8_t *buffer, size_t capacity, uint32_t timeoutMs) override;
  void Close() override;

private:
  void Open();
  [[noreturn]] void Fail(const std::string &what, int error) const;
  std::string Target() const;

  std::u16string host_;
  uint16_t port_ = 0;
  std::shared_ptr<TWinsock> winsock_;
  SOCKET socket_ = INVALID_SOCKET;
};

} // namespace pondrex
