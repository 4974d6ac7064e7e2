#include "TFakePlatform.h"
#include "TFakeUdpClient.h"
#include "TFakeUdpPeer.h"

#include <algorithm>
#include <cstring>

namespace pondrex {

void TFakeUdpPeer::Send(std::vector<uint8_t> bytes, uint32_t delayMs) {
  pending_.push_back(TPending{platform_.NowUs() + uint64_t{delayMs} * 1000, nextSeq_++, std::move(bytes)});
}

void TFakeUdpPeer::Sent(TDatagram datagram) {
  sent_.push_back(datagram);
  if (responder_) {
    responder_(*this, datagram);
  }
}

std::optional<std::vector<uint8_t>> TFakeUdpPeer::Take(uint32_t timeoutMs) {
  const uint64_t deadline = platform_.NowUs() + uint64_t{timeoutMs} * 1000;
  auto first = std::min_element(pending_.begin(), pending_.end(), [](const TPending &a, const TPending &b) {
    return a.DueUs != b.DueUs ? a.DueUs < b.DueUs : a.Seq < b.Seq;
  });
  if (first == pending_.end() || first->DueUs > deadline) {
    platform_.AdvanceToUs(deadline);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes = std::move(first->Bytes);
  const uint64_t due = first->DueUs;
  pending_.erase(first);
  platform_.AdvanceToUs(due);
  return bytes;
}

void TFakeUdpClient::SetTarget(const std::u16string &host, uint16_t port) {
  host_ = host;
  port_ = port;
}

void TFakeUdpClient::Send(const uint8_t *data, size_t size) {
  TFakeUdpPeer &peer = platform_.Udp();
  if (peer.sendFailure_) {
    throw EUdpError(*peer.sendFailure_);
  }
  peer.Sent(TDatagram{platform_.TickCount(), host_, port_, std::vector<uint8_t>(data, data + size)});
}

size_t TFakeUdpClient::Receive(uint8_t *buffer, size_t capacity, uint32_t timeoutMs) {
  TFakeUdpPeer &peer = platform_.Udp();
  if (peer.receiveFailure_) {
    throw EUdpError(*peer.receiveFailure_);
  }
  std::optional<std::vector<uint8_t>> datagram = peer.Take(timeoutMs);
  if (!datagram) {
    return 0;
  }
  const size_t count = std::min(capacity, datagram->size());
  if (count > 0) {
    std::memcpy(buffer, datagram->data(), count);
  }
  return count;
}

} // namespace pondrex
