// The far end of every datagram client of the fake platform: the device that
// a test scripts. It sees every datagram sent, with the virtual time and the
// target, and answers with datagrams after a virtual delay.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pondrex {

class TFakePlatform;
class TFakeUdpClient;

struct TDatagram {
  uint32_t Tick;
  std::u16string Host;
  uint16_t Port;
  std::vector<uint8_t> Bytes;
};

class TFakeUdpPeer {
public:
  using TResponder = std::function<void(TFakeUdpPeer &peer, const TDatagram &sent)>;

  TFakeUdpPeer(const TFakeUdpPeer &) = delete;
  TFakeUdpPeer &operator=(const TFakeUdpPeer &) = delete;

  // Called inside every Send that succeeds.
  void SetResponder(TResponder responder) { responder_ = std::move(responder); }

  // A datagram to the clients, there delayMs from now. A Receive whose
  // time-out reaches that moment takes it, and the clock moves on to it.
  void Send(std::vector<uint8_t> bytes, uint32_t delayMs = 0);

  // Send, resp. Receive, throws EUdpError with this message until it is given
  // std::nullopt.
  void FailSend(std::optional<std::string> message) { sendFailure_ = std::move(message); }
  void FailReceive(std::optional<std::string> message) { receiveFailure_ = std::move(message); }

  // Every datagram sent, in order.
  const std::vector<TDatagram> &Sent() const { return sent_; }

private:
  friend class TFakePlatform;
  friend class TFakeUdpClient;

  struct TPending {
    uint64_t DueUs;
    uint64_t Seq;
    std::vector<uint8_t> Bytes;
  };

  explicit TFakeUdpPeer(TFakePlatform &platform) : platform_(platform) {}
  void Sent(TDatagram datagram);
  std::optional<std::vector<uint8_t>> Take(uint32_t timeoutMs);

  TFakePlatform &platform_;
  TResponder responder_;
  std::optional<std::string> sendFailure_;
  std::optional<std::string> receiveFailure_;
  std::vector<TDatagram> sent_;
  std::vector<TPending> pending_;
  uint64_t nextSeq_ = 0;
};

} // namespace pondrex
