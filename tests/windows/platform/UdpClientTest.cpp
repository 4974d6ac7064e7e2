// The datagram client against a loopback peer in the same program: datagrams
// both ways, a time-out that ends within bounds, datagrams cut to the buffer,
// and none taken from a sender other than the target.
#include "TWinPlatform.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace pondrex {
namespace {

using Bytes = std::vector<uint8_t>;

// A UDP socket bound to 127.0.0.1 on a port of the system's choice.
class LoopbackPeer {
public:
  LoopbackPeer() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
      throw std::runtime_error("WSAStartup failed");
    }
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket_ == INVALID_SOCKET ||
        bind(socket_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
      throw std::runtime_error("cannot bind the peer socket");
    }
    int length = sizeof address;
    getsockname(socket_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    DWORD timeoutMs = 3000;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeoutMs),
               sizeof timeoutMs);
  }
  ~LoopbackPeer() {
    closesocket(socket_);
    WSACleanup();
  }
  LoopbackPeer(const LoopbackPeer &) = delete;
  LoopbackPeer &operator=(const LoopbackPeer &) = delete;

  uint16_t port() const { return port_; }

  // The next datagram, and who sent it.
  Bytes receive() {
    char buffer[2048];
    int length = sizeof from_;
    const int got =
        recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from_), &length);
    return got > 0 ? Bytes(buffer, buffer + got) : Bytes{};
  }
  // To the sender of the last datagram received, or to address.
  void send(const Bytes &bytes) { send(bytes, from_); }
  void send(const Bytes &bytes, const sockaddr_in &to) {
    sendto(socket_, reinterpret_cast<const char *>(bytes.data()), static_cast<int>(bytes.size()), 0,
           reinterpret_cast<const sockaddr *>(&to), sizeof to);
  }
  const sockaddr_in &lastSender() const { return from_; }

private:
  SOCKET socket_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  sockaddr_in from_{};
};

class WinUdpClient : public ::testing::Test {
protected:
  WinUdpClient() { client_->SetTarget(u"127.0.0.1", peer_.port()); }

  void Send(const Bytes &bytes) { client_->Send(bytes.data(), bytes.size()); }

  LoopbackPeer peer_;
  std::unique_ptr<IUdpClient> client_ = SystemPlatform().CreateUdpClient();
  uint8_t buffer_[4096] = {};
};

TEST_F(WinUdpClient, DatagramsGoBothWays) {
  Send({0x02, 0x11, 0x00, 0xFF});
  EXPECT_EQ(peer_.receive(), (Bytes{0x02, 0x11, 0x00, 0xFF}));
  peer_.send({0x06, 0x00, 0x13});
  ASSERT_EQ(client_->Receive(buffer_, sizeof buffer_, 3000), 3u);
  EXPECT_EQ(Bytes(buffer_, buffer_ + 3), (Bytes{0x06, 0x00, 0x13}));
}

TEST_F(WinUdpClient, ATimeOutEndsWithinBounds) {
  Send({0x01});
  const DWORD start = GetTickCount();
  EXPECT_EQ(client_->Receive(buffer_, sizeof buffer_, 300), 0u);
  const DWORD took = GetTickCount() - start;
  EXPECT_GE(took, 250u);
  EXPECT_LT(took, 2000u);
  const DWORD looked = GetTickCount();
  EXPECT_EQ(client_->Receive(buffer_, sizeof buffer_, 0), 0u);
  EXPECT_LT(GetTickCount() - looked, 200u) << "a time-out of 0 only looks";
}

TEST_F(WinUdpClient, ALongerDatagramIsCutToTheBuffer) {
  Send({0x01});
  peer_.receive();
  Bytes longer(100);
  for (size_t i = 0; i < longer.size(); ++i) {
    longer[i] = static_cast<uint8_t>(i);
  }
  peer_.send(longer);
  ASSERT_EQ(client_->Receive(buffer_, 10, 3000), 10u);
  EXPECT_EQ(Bytes(buffer_, buffer_ + 10), Bytes(longer.begin(), longer.begin() + 10));
}

TEST_F(WinUdpClient, DatagramsFromOtherSendersAreNotTaken) {
  Send({0x01});
  peer_.receive();
  LoopbackPeer stranger;
  stranger.send({0x66}, peer_.lastSender());
  EXPECT_EQ(client_->Receive(buffer_, sizeof buffer_, 300), 0u);
}

TEST_F(WinUdpClient, ANewTargetOrACloseGivesANewSocket) {
  Send({0x01});
  EXPECT_EQ(peer_.receive(), (Bytes{0x01}));
  LoopbackPeer other;
  client_->SetTarget(u"127.0.0.1", other.port());
  Send({0x02});
  EXPECT_EQ(other.receive(), (Bytes{0x02}));
  client_->Close();
  Send({0x03});
  EXPECT_EQ(other.receive(), (Bytes{0x03}));
  other.send({0x04});
  EXPECT_EQ(client_->Receive(buffer_, sizeof buffer_, 3000), 1u);
}

} // namespace
} // namespace pondrex
