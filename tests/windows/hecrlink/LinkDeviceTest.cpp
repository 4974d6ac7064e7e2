// The scale link as the driver runs it on Windows: TComm on a COM port whose
// far end is a simulated scale, and the Winsock datagram client against a
// loopback peer. Commands answered, refused and unanswered, a weight request,
// an unsolicited measurement and the baud search.
#include "PeerClient.h"
#include "ScaleCommandTable.h"
#include "ScaleFrames.h"
#include "THecrLink.h"
#include "TWinPlatform.h"

#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace pondrex {
namespace {

using pos::test::ScaleClient;
using pos::test::ScaleLogEntry;
using pos::test::ScaleReply;
using Bytes = std::vector<uint8_t>;

constexpr int32_t TareId = 5;
constexpr int32_t OpBoxStateId = 23;
const std::u16string EcrId = u"123456";
// Tare for ECR ID 123456, packet 0, no data.
const Bytes TareFrame = test::ScaleFrame(0x80040000);

struct Recorded {
  std::vector<int32_t> errors;
  std::vector<Bytes> status;
  std::vector<std::u16string> weights;
};

std::unique_ptr<THecrLink> MakeLink(TLinkProcessFlags &flags, Recorded &recorded) {
  auto link = std::make_unique<THecrLink>(SystemPlatform(), flags);
  LoadScaleCommandTable(*link);
  link->OnError = [&recorded](THecrLink &, int32_t code) { recorded.errors.push_back(code); };
  link->OnStatus = [&recorded](THecrLink &, TPelqoEventArgs &args) {
    recorded.status.push_back(args.Buffer);
  };
  link->OnIS1Event = [&recorded](THecrLink &, TIS1 &frame) { recorded.weights.push_back(frame.Weight()); };
  return link;
}

// Pumps the thread's messages until done() or the time runs out.
bool PumpUntil(const std::function<bool()> &done, uint32_t timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs)
      return false;
    SystemPlatform().PumpMessages();
    ::Sleep(5);
  }
  return true;
}

std::vector<ScaleLogEntry> Frames(const std::vector<ScaleLogEntry> &log) {
  std::vector<ScaleLogEntry> frames;
  for (const ScaleLogEntry &entry : log)
    if (entry.kind == "frame")
      frames.push_back(entry);
  return frames;
}

class LinkOnComPort : public ::testing::Test {
protected:
  void SetUp() override {
    scale.reset();
    scale.setId(123456);
    link = MakeLink(flags, recorded);
    const std::string port = ScaleClient::comPort();
    link->SetCommname(std::u16string(port.begin(), port.end()));
    link->SetBaudRate(9600);
    link->SetTimeOut(1000);
  }
  void TearDown() override { link->Close(); }

  void OpenLink() {
    link->Open();
    ASSERT_TRUE(link->Active()) << ::testing::PrintToString(recorded.errors);
  }
  bool Send(int32_t id) { return link->SendBuffer(link->GetHecrCommandFormID(id), {}, 0, 0, EcrId); }

  ScaleClient scale;
  TLinkProcessFlags flags;
  Recorded recorded;
  std::unique_ptr<THecrLink> link;
};

TEST_F(LinkOnComPort, AcknowledgedCommandSucceeds) {
  OpenLink();
  EXPECT_TRUE(Send(TareId));
  EXPECT_TRUE(recorded.errors.empty()) << ::testing::PrintToString(recorded.errors);
  const std::vector<ScaleLogEntry> frames = Frames(scale.log(1, 2000));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, TareFrame);
  EXPECT_EQ(frames[0].baud, 9600u);
}

TEST_F(LinkOnComPort, PortThatDoesNotExistFailsTheOpenAndTheLogSaysWhy) {
  link->SetCommname(u"COM99");
  link->Open();
  EXPECT_FALSE(link->Active());
  EXPECT_EQ(recorded.errors, std::vector<int32_t>{-2});
  // The fixed text and the system's error code, whatever number Wine gives.
  const std::string prefix = "Error opening serial port (system error ";
  const auto &lines = link->Log().Lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string &line) {
    return line.starts_with(prefix) && line.size() > prefix.size() + 1 && line[prefix.size()] != '0';
  })) << ::testing::PrintToString(std::vector<std::string>(lines.begin(), lines.end()));
}

TEST_F(LinkOnComPort, RefusedCommandRaisesTheScalesCode) {
  scale.on(0x80040000, ScaleReply::refuse(0x1205));
  OpenLink();
  EXPECT_FALSE(Send(TareId));
  EXPECT_EQ(recorded.errors, std::vector<int32_t>{5});
}

TEST_F(LinkOnComPort, UnansweredCommandIsSentRetrycntTimes) {
  scale.on(0x80040000, ScaleReply::silent());
  link->SetTimeOut(200);
  link->SetRetrycnt(3);
  OpenLink();
  EXPECT_FALSE(Send(TareId));
  EXPECT_EQ(recorded.errors, (std::vector<int32_t>{50008, 50008, 50008, 50004}));
  EXPECT_EQ(Frames(scale.log(3, 2000)).size(), 3u);
}

TEST_F(LinkOnComPort, ReadAnswerReachesOnStatus) {
  scale.on(0x91160000, ScaleReply::withData({1, 2, 3}));
  OpenLink();
  EXPECT_TRUE(Send(OpBoxStateId));
  EXPECT_EQ(recorded.status, std::vector<Bytes>{Bytes({1, 2, 3})});
}

TEST_F(LinkOnComPort, WeightFramesAndMeasurementsArriveWhileTheThreadPumps) {
  scale.is1Text('S', ' ', "  1.25", "kg");
  OpenLink();
  link->write("\x11", 1);
  ASSERT_TRUE(PumpUntil([&] { return !recorded.weights.empty(); }, 3000));
  EXPECT_EQ(recorded.weights[0], u"  1.25");
  EXPECT_EQ(flags.Is1FrameSeen, 1);

  scale.push(scale.frame(0x83000000, Bytes(16, 0)));
  ASSERT_TRUE(PumpUntil([&] { return !recorded.status.empty(); }, 3000));
  EXPECT_EQ(recorded.status[0], Bytes(16, 0));
  EXPECT_EQ(flags.FramedReplySeen, 1);
}

TEST_F(LinkOnComPort, BaudSearchFindsTheScaleAndLeavesItAtTheConfiguredRate) {
  link->SetBaudRate(19200);
  link->SetTimeOut(300);
  scale.answerOnlyAt(38400);
  OpenLink();
  ASSERT_TRUE(link->Connection(1, EcrId)) << ::testing::PrintToString(recorded.errors);
  std::vector<uint32_t> rates;
  for (const ScaleLogEntry &frame : Frames(scale.log(7, 3000)))
    rates.push_back(frame.baud);
  EXPECT_EQ(rates, (std::vector<uint32_t>{9600, 9600, 115200, 115200, 19200, 19200, 38400}));
  // The scale moved to the configured rate, and so did the port.
  EXPECT_TRUE(Send(TareId));
  EXPECT_EQ(Frames(scale.log(8, 2000)).back().baud, 19200u);
}

// A UDP socket on 127.0.0.1 that a thread of its own serves: it counts the
// datagrams and answers each with the reply, if any.
class LoopbackScale {
public:
  explicit LoopbackScale(Bytes reply) : reply_(std::move(reply)) {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
      throw std::runtime_error("WSAStartup failed");
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket_ == INVALID_SOCKET ||
        bind(socket_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
      throw std::runtime_error("cannot bind the loopback scale");
    int length = sizeof address;
    getsockname(socket_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    DWORD timeoutMs = 50;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeoutMs),
               sizeof timeoutMs);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackScale() {
    stop_ = true;
    thread_.join();
    closesocket(socket_);
    WSACleanup();
  }
  LoopbackScale(const LoopbackScale &) = delete;
  LoopbackScale &operator=(const LoopbackScale &) = delete;

  uint16_t port() const { return port_; }
  int received() const { return received_; }

private:
  void Serve() {
    while (!stop_) {
      char buffer[4096];
      sockaddr_in from{};
      int length = sizeof from;
      const int got =
          recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &length);
      if (got <= 0)
        continue;
      ++received_;
      if (!reply_.empty())
        sendto(socket_, reinterpret_cast<const char *>(reply_.data()), static_cast<int>(reply_.size()), 0,
               reinterpret_cast<sockaddr *>(&from), length);
    }
  }

  Bytes reply_;
  SOCKET socket_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> received_{0};
  std::thread thread_;
};

class LinkOverUdp : public ::testing::Test {
protected:
  void Open(uint16_t port) {
    link = MakeLink(flags, recorded);
    link->SetMode(TCommunicationMode::cmUDP);
    link->SetHost(u"127.0.0.1");
    link->SetPort(port);
    link->SetTimeOut(200);
    link->Open();
    ASSERT_TRUE(link->Active());
  }
  bool Send(int32_t id) { return link->SendBuffer(link->GetHecrCommandFormID(id), {}, 0, 0, EcrId); }

  TLinkProcessFlags flags;
  Recorded recorded;
  std::unique_ptr<THecrLink> link;
};

TEST_F(LinkOverUdp, AcknowledgedByALoopbackScale) {
  const Bytes ack = {0xAB, 0x00, 0x01, 0xE2, 0x40, 0x80, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5C};
  LoopbackScale scale(ack);
  Open(scale.port());
  EXPECT_TRUE(Send(TareId));
  EXPECT_TRUE(recorded.errors.empty()) << ::testing::PrintToString(recorded.errors);
  EXPECT_EQ(scale.received(), 1);
}

TEST_F(LinkOverUdp, SilentLoopbackScaleGetsRetrycntPlusOneDatagrams) {
  LoopbackScale scale({});
  Open(scale.port());
  link->SetRetrycnt(2);
  EXPECT_FALSE(Send(TareId));
  EXPECT_EQ(recorded.errors, (std::vector<int32_t>{50008, 50008, 50008, 50004}));
  ASSERT_TRUE(PumpUntil([&] { return scale.received() == 3; }, 2000));
}

} // namespace
} // namespace pondrex
