// The datagram client of the fake platform: every datagram goes to the one
// scripted peer, and Receive waits on the virtual clock without pumping.
#pragma once

#include "IUdpClient.h"

#include <string>

namespace pondrex {

class TFakePlatform;

class TFakeUdpClient final : public IUdpClient {
public:
  explicit TFakeUdpClient(TFakePlatform &platform) : platform_(platform) {}

  void SetTarget(const std::u16string &host, uint16_t port) override;
  void Send(const uint8_t *data, size_t size) override;
  size_t Receive(uint8_t *buffer, size_t capacity, uint32_t timeoutMs) override;
  void Close() override {}

private:
  TFakePlatform &platform_;
  std::u16string host_;
  uint16_t port_ = 0;
};

} // namespace pondrex
