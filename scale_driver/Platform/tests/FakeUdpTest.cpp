// The fake datagram client: the scripted peer sees what is sent and answers
// after a virtual delay; Receive waits on the virtual clock without pumping
// and raises the scripted failures.
#include "TFakePlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pondrex {
namespace {

using Bytes = std::vector<uint8_t>;

class FakeUdp : public ::testing::Test {
protected:
  FakeUdp() { client_->SetTarget(u"127.0.0.1", 5002); }

  void Send(const Bytes &bytes) { client_->Send(bytes.data(), bytes.size()); }

  TFakePlatform platform_;
  std::unique_ptr<IUdpClient> client_ = platform_.CreateUdpClient();
  uint8_t buffer_[4096] = {};
};

TEST_F(FakeUdp, ReceiveTakesTheAnswerWhenItArrives) {
  platform_.Udp().SetResponder([](TFakeUdpPeer &peer, const TDatagram &sent) {
    EXPECT_EQ(sent.Host, u"127.0.0.1");
    EXPECT_EQ(sent.Port, 5002);
    peer.Send({0xAA, sent.Bytes[0]}, 40);
  });
  const uint32_t start = platform_.TickCount();
  Send({0x7E});
  ASSERT_EQ(client_->Receive(buffer_, sizeof buffer_, 5000), 2u);
  EXPECT_EQ(buffer_[0], 0xAA);
  EXPECT_EQ(buffer_[1], 0x7E);
  EXPECT_EQ(platform_.TickCount() - start, 40u);
  ASSERT_EQ(platform_.Udp().Sent().size(), 1u);
  EXPECT_EQ(platform_.Udp().Sent()[0].Bytes, (Bytes{0x7E}));
}

TEST_F(FakeUdp, ATimeOutReturnsNothingAfterItsTimeAndDispatchesNothing) {
  int ran = 0;
  platform_.Post([&] { ++ran; }, 10);
  platform_.Udp().Send({1}, 300); // too late for the time-out
  const uint32_t start = platform_.TickCount();
  EXPECT_EQ(client_->Receive(buffer_, sizeof buffer_, 250), 0u);
  EXPECT_EQ(platform_.TickCount() - start, 250u);
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(client_->Receive(buffer_, sizeof buffer_, 0), 0u) << "0 only looks";
  EXPECT_EQ(client_->Receive(buffer_, sizeof buffer_, 50), 1u);
  EXPECT_EQ(platform_.TickCount() - start, 300u);
}

TEST_F(FakeUdp, ALongerDatagramIsCutToTheBuffer) {
  platform_.Udp().Send({1, 2, 3, 4, 5, 6});
  EXPECT_EQ(client_->Receive(buffer_, 4, 0), 4u);
  EXPECT_EQ(client_->Receive(buffer_, 4, 0), 0u) << "the rest is lost";
}

TEST_F(FakeUdp, ScriptedFailuresRaiseTheirMessage) {
  platform_.Udp().FailSend("send refused");
  platform_.Udp().FailReceive("receive refused");
  try {
    Send({1});
    FAIL();
  } catch (const EUdpError &error) {
    EXPECT_STREQ(error.what(), "send refused");
  }
  EXPECT_THROW(client_->Receive(buffer_, sizeof buffer_, 10), EUdpError);
  EXPECT_TRUE(platform_.Udp().Sent().empty());
  platform_.Udp().FailSend(std::nullopt);
  Send({1});
  EXPECT_EQ(platform_.Udp().Sent().size(), 1u);
}

} // namespace
} // namespace pondrex
