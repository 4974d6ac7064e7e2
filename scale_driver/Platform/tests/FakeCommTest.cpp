// The fake serial component keeps the rules of the real one that the core
// depends on: data and send-empty events only inside a pump, chunks of at
// most 4096 bytes, the settings in force on the line, exclusive opening and
// the failures of StartComm.
#include "ECommsError.h"
#include "TFakePlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pondrex {
namespace {

using Bytes = std::vector<uint8_t>;

class FakeComm : public ::testing::Test {
protected:
  void SetUp() override {
    comm_->SetCommName(u"COM3");
    comm_->OnReceiveData = [this](TCommBase &, const uint8_t *buffer, uint16_t length) {
      EXPECT_EQ(buffer[length], 0) << "the byte after a chunk is zero";
      chunks_.emplace_back(buffer, buffer + length);
    };
    comm_->OnSendDataEmpty = [this](TCommBase &) { ++sendEmpty_; };
  }

  bool Write(const Bytes &bytes) {
    return comm_->WriteCommData(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }

  TFakePlatform platform_;
  TFakeSerialLine &line_ = platform_.Line(u"COM3");
  std::unique_ptr<TCommBase> comm_ = platform_.CreateComm();
  std::vector<Bytes> chunks_;
  int sendEmpty_ = 0;
};

TEST_F(FakeComm, AnAnswerReachesTheCoreOnlyWhenItPumps) {
  line_.SetResponder([](TFakeSerialLine &line, const TWrittenBlock &block) {
    EXPECT_EQ(block.Bytes, (Bytes{0x11}));
    line.Send({0x06});
  });
  comm_->StartComm();
  ASSERT_TRUE(Write({0x11}));
  EXPECT_TRUE(chunks_.empty());
  platform_.Sleep(100);
  EXPECT_TRUE(chunks_.empty());
  platform_.PumpMessages();
  EXPECT_EQ(chunks_, (std::vector<Bytes>{{0x06}}));
  platform_.PumpMessages();
  EXPECT_EQ(chunks_.size(), 1u);
}

TEST_F(FakeComm, ADelayedAnswerComesWithTheFirstPumpAfterItsDelay) {
  platform_.SetPumpCostUs(0);
  line_.SetResponder([](TFakeSerialLine &line, const TWrittenBlock &) { line.Send({0x02}, 30); });
  comm_->StartComm();
  const uint32_t sent = platform_.TickCount();
  ASSERT_TRUE(Write({0x05}));
  platform_.Sleep(29);
  platform_.PumpMessages();
  EXPECT_TRUE(chunks_.empty());
  platform_.Sleep(1);
  platform_.PumpMessages();
  EXPECT_EQ(chunks_, (std::vector<Bytes>{{0x02}}));
  EXPECT_EQ(platform_.TickCount() - sent, 30u);
}

TEST_F(FakeComm, LongDataComesInChunksOfAtMost4096InOrder) {
  comm_->StartComm();
  Bytes sent(10000);
  for (size_t i = 0; i < sent.size(); ++i) {
    sent[i] = static_cast<uint8_t>(i * 7);
  }
  line_.Send(sent);
  platform_.PumpMessages();
  ASSERT_EQ(chunks_.size(), 3u);
  EXPECT_EQ(chunks_[0].size(), 4096u);
  EXPECT_EQ(chunks_[1].size(), 4096u);
  EXPECT_EQ(chunks_[2].size(), 1808u);
  Bytes joined;
  for (const Bytes &chunk : chunks_) {
    joined.insert(joined.end(), chunk.begin(), chunk.end());
  }
  EXPECT_EQ(joined, sent);
}

TEST_F(FakeComm, SendDataEmptyFollowsTheStartAndEachRunOfWritesInAPump) {
  comm_->StartComm();
  EXPECT_EQ(sendEmpty_, 0);
  platform_.PumpMessages();
  EXPECT_EQ(sendEmpty_, 1);
  ASSERT_TRUE(Write({1}));
  ASSERT_TRUE(Write({2}));
  EXPECT_EQ(sendEmpty_, 1);
  platform_.PumpMessages();
  EXPECT_EQ(sendEmpty_, 2);
  platform_.PumpMessages();
  EXPECT_EQ(sendEmpty_, 2);
}

TEST_F(FakeComm, TheDeviceSeesTheSettingsInForce) {
  std::vector<TCommSettings> seen;
  line_.SetResponder([&](TFakeSerialLine &, const TWrittenBlock &block) { seen.push_back(block.Settings); });
  comm_->SetBaudRate(9600);
  comm_->StartComm();
  comm_->SetParity(TParity::Even); // a plain field: not on the line yet
  ASSERT_TRUE(Write({1}));
  comm_->SetBaudRate(19200); // applies the DCB, and with it the parity
  ASSERT_TRUE(Write({2}));
  comm_->SetReadIntervalTimeout(20);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].BaudRate, 9600u);
  EXPECT_EQ(seen[0].Parity, TParity::None);
  EXPECT_EQ(seen[1].BaudRate, 19200u);
  EXPECT_EQ(seen[1].Parity, TParity::Even);
  EXPECT_EQ(line_.Settings().ReadIntervalTimeout, 20u);

  std::vector<TSerialEventKind> kinds;
  for (const TSerialEvent &event : line_.Events()) {
    kinds.push_back(event.Kind);
  }
  using K = TSerialEventKind;
  EXPECT_EQ(kinds, (std::vector<K>{K::Started, K::Written, K::StateApplied, K::Written, K::TimeoutsApplied}));
}

TEST_F(FakeComm, AScriptedStartFailureRaisesItsMessage) {
  line_.FailStart("Cannot setup comm buffer");
  try {
    comm_->StartComm();
    FAIL() << "StartComm did not raise";
  } catch (const ECommsError &error) {
    EXPECT_STREQ(error.what(), "Cannot setup comm buffer");
  }
  EXPECT_FALSE(comm_->IsOpen());
  EXPECT_FALSE(Write({1}));
  ASSERT_EQ(line_.EventsOf(TSerialEventKind::StartFailed).size(), 1u);
  line_.FailStart(std::nullopt);
  comm_->StartComm();
  EXPECT_TRUE(comm_->IsOpen());
}

TEST_F(FakeComm, ASecondStartRaisesAndLeavesThePortWorking) {
  comm_->StartComm();
  EXPECT_THROW(
      {
        try {
          comm_->StartComm();
        } catch (const ECommsError &error) {
          EXPECT_STREQ(error.what(), "This serial port already opened");
          throw;
        }
      },
      ECommsError);
  EXPECT_TRUE(Write({1}));
  EXPECT_EQ(line_.Writes(), (std::vector<Bytes>{{1}}));
}

TEST_F(FakeComm, APortOpenInAnotherComponentCannotBeOpened) {
  comm_->StartComm();
  std::unique_ptr<TCommBase> other = platform_.CreateComm();
  other->SetCommName(u"com3");
  EXPECT_THROW(other->StartComm(), ECommsError);
  comm_->StopComm();
  other->StartComm();
  EXPECT_TRUE(line_.IsOpen());
}

TEST_F(FakeComm, RefusedWrites) {
  EXPECT_FALSE(Write({1})) << "closed";
  comm_->StartComm();
  EXPECT_FALSE(Write({})) << "empty";
  EXPECT_FALSE(Write(Bytes(65536, 0x55))) << "above 65535 bytes";
  EXPECT_TRUE(Write(Bytes(65535, 0x55)));
  ASSERT_EQ(line_.Writes().size(), 1u);
  EXPECT_EQ(line_.Writes()[0].size(), 65535u);
}

TEST_F(FakeComm, BytesArrivedBeforeAStopStillComeWhileLaterOnesAreLost) {
  platform_.SetPumpCostUs(0);
  comm_->StartComm();
  line_.Send({1});
  comm_->StopComm();
  line_.Send({2});     // arrives while the port is closed
  line_.Send({3}, 10); // arrives after the port is opened again
  platform_.PumpMessages();
  EXPECT_EQ(chunks_, (std::vector<Bytes>{{1}}));
  comm_->StartComm();
  platform_.Sleep(10);
  platform_.PumpMessages();
  EXPECT_EQ(chunks_, (std::vector<Bytes>{{1}, {3}}));
}

TEST_F(FakeComm, DestroyingAnOpenComponentClosesThePortAndDropsItsEvents) {
  comm_->StartComm();
  line_.Send({1});
  comm_.reset();
  EXPECT_FALSE(line_.IsOpen());
  EXPECT_EQ(line_.EventsOf(TSerialEventKind::Stopped).size(), 1u);
  platform_.PumpMessages(); // nothing left that points at the component
  EXPECT_TRUE(chunks_.empty());
}

} // namespace
} // namespace pondrex
