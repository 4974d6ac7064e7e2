// Data through the serial component: queued writes, received chunks that
// arrive only while the owning thread pumps, the send-empty event, settings
// applied to an open port, and blocks that are freed on every path.
#include "PeerClient.h"
#include "SerialTestSupport.h"

#include "TComm.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using pondrex::TComm;
using pondrex::TCommBase;
using pos::test::Pattern;
using pos::test::PeerClient;
using pos::test::PumpFor;
using pos::test::PumpUntil;

class TCommData : public ::testing::Test {
protected:
  void SetUp() override {
    Prepare(comm_);
    peer_.clear();
  }
  void TearDown() override { EXPECT_EQ(hangups_, 0) << "a thread gave up on the port"; }

  void Prepare(TComm &comm) {
    comm.SetCommName(pos::test::Wide(PeerClient::comPort()));
    pos::test::UseScaleLinkSettings(comm);
    comm.OnReceiveData = [this](TCommBase &sender, const uint8_t *bytes, uint16_t count) {
      EXPECT_GT(count, 0);
      EXPECT_LE(count, 4096);
      EXPECT_EQ(bytes[count], 0) << "no zero byte after the chunk";
      ++chunks_;
      numbers_.push_back(sender.DeliveredChunk());
      received_.insert(received_.end(), bytes, bytes + count);
    };
    comm.OnRequestHangup = [this](TCommBase &) { ++hangups_; };
    comm.OnSendDataEmpty = [this](TCommBase &) { ++sendEmpty_; };
  }
  bool Write(const std::vector<uint8_t> &bytes) {
    return comm_.WriteCommData(bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  bool ReceiveAll(size_t count) {
    return PumpUntil([&] { return received_.size() >= count; }, 10000);
  }

  PeerClient peer_;
  TComm comm_;
  std::vector<uint8_t> received_;
  // The number of each chunk handed out.
  std::vector<uint64_t> numbers_;
  int chunks_ = 0;
  int hangups_ = 0;
  int sendEmpty_ = 0;
};

TEST_F(TCommData, RefusedWritesSendNothing) {
  const std::vector<uint8_t> bytes = Pattern(65536);
  EXPECT_FALSE(comm_.WriteCommData(bytes.data(), 10)) << "closed port";
  comm_.StartComm();
  EXPECT_FALSE(comm_.WriteCommData(bytes.data(), 0)) << "no bytes";
  EXPECT_FALSE(comm_.WriteCommData(bytes.data(), 65536)) << "more than a 16-bit count";
  comm_.StopComm();
  EXPECT_FALSE(comm_.WriteCommData(bytes.data(), 10)) << "stopped port";
  EXPECT_TRUE(peer_.receive(1, 500).empty());
}

TEST_F(TCommData, LongBlocksArriveWholeAndInOrder) {
  comm_.StartComm();
  for (size_t size : {size_t{5000}, size_t{65535}}) {
    const std::vector<uint8_t> block = Pattern(size, static_cast<uint8_t>(size));
    ASSERT_TRUE(Write(block));
    EXPECT_EQ(peer_.receive(size, 20000), block) << size << " bytes";
  }
}

TEST_F(TCommData, BlocksArriveInTheOrderQueued) {
  comm_.StartComm();
  std::vector<uint8_t> all;
  for (int i = 0; i < 30; ++i) {
    const std::vector<uint8_t> block = Pattern(700, static_cast<uint8_t>(i * 7));
    ASSERT_TRUE(Write(block));
    all.insert(all.end(), block.begin(), block.end());
  }
  EXPECT_EQ(peer_.receive(all.size(), 20000), all);
}

TEST_F(TCommData, WriteRightAfterStartArrives) {
  for (int i = 0; i < 20; ++i) {
    comm_.StartComm();
    const std::vector<uint8_t> bytes = Pattern(8, static_cast<uint8_t>(i));
    EXPECT_TRUE(Write(bytes)) << "opening " << i;
    EXPECT_EQ(peer_.receive(bytes.size(), 3000), bytes) << "opening " << i;
    comm_.StopComm();
  }
}

TEST_F(TCommData, ReceivedDataWaitsForThePump) {
  comm_.StartComm();
  const std::vector<uint8_t> sent = Pattern(10000, 0x10);
  peer_.send(sent);
  Sleep(1000);
  EXPECT_EQ(chunks_, 0) << "data arrived without a pump";
  ASSERT_TRUE(ReceiveAll(sent.size()));
  PumpFor(100);
  EXPECT_EQ(received_, sent);
  EXPECT_GE(chunks_, 3) << "chunks are at most 4096 bytes";
}

// Chunks are numbered when the port reads them, before any pump hands them
// out, and the numbers go on over a stop and a new start.
TEST_F(TCommData, ChunksAreNumberedInTheOrderThePortReadThem) {
  std::vector<uint64_t> expected;
  for (int opening = 0; opening < 2; ++opening) {
    comm_.StartComm();
    const uint64_t before = comm_.LastChunkRead();
    const int handedOut = chunks_;
    const std::vector<uint8_t> sent = Pattern(10000, static_cast<uint8_t>(opening));
    peer_.send(sent);
    Sleep(1000);
    EXPECT_EQ(chunks_, handedOut);
    EXPECT_GE(comm_.LastChunkRead(), before + 3)
        << "opening " << opening << ": chunks are at most 4096 bytes";
    ASSERT_TRUE(ReceiveAll(received_.size() + sent.size()));
    comm_.StopComm();
    for (uint64_t number = before + 1; number <= comm_.LastChunkRead(); ++number)
      expected.push_back(number);
  }
  EXPECT_EQ(numbers_, expected);
  EXPECT_EQ(expected.front(), 1u);
}

TEST_F(TCommData, EveryByteValuePassesBothWays) {
  comm_.StartComm();
  const std::vector<uint8_t> bytes = Pattern(1024);
  ASSERT_TRUE(Write(bytes));
  EXPECT_EQ(peer_.receive(bytes.size(), 5000), bytes);
  PumpFor(100);
  EXPECT_TRUE(peer_.takeAll().empty()) << "the component sent bytes of its own";
  peer_.send(bytes);
  ASSERT_TRUE(ReceiveAll(bytes.size()));
  PumpFor(100);
  EXPECT_EQ(received_, bytes);
}

TEST_F(TCommData, SendDataEmptyAfterStartAndAfterEachEmptiedQueue) {
  comm_.StartComm();
  EXPECT_TRUE(PumpUntil([&] { return sendEmpty_ == 1; }, 3000));
  PumpFor(200);
  EXPECT_EQ(sendEmpty_, 1) << "before anything was written";
  const std::vector<uint8_t> bytes = Pattern(100);
  ASSERT_TRUE(Write(bytes));
  EXPECT_EQ(peer_.receive(bytes.size(), 3000), bytes);
  EXPECT_TRUE(PumpUntil([&] { return sendEmpty_ == 2; }, 3000));
  PumpFor(200);
  EXPECT_EQ(sendEmpty_, 2);
}

// A Linux pseudo-terminal keeps the rate and the stop bits but drops parity
// and byte size, so those two are checked on the DCB itself (CommDcbTest).
TEST_F(TCommData, LineSettingsApplyAtOnceAndAtTheNextStart) {
  comm_.StartComm();
  EXPECT_EQ(peer_.line().baud, 9600u);
  comm_.SetBaudRate(19200);
  EXPECT_EQ(peer_.line().baud, 19200u);
  comm_.SetStopBits(pondrex::TStopBits::_2);
  EXPECT_EQ(peer_.line().stopBits, 2);
  comm_.StopComm();
  comm_.SetBaudRate(4800);
  comm_.SetStopBits(pondrex::TStopBits::_1);
  EXPECT_EQ(peer_.line().baud, 19200u) << "a closed port is not touched";
  comm_.StartComm();
  const pos::test::LineSettings line = peer_.line();
  EXPECT_EQ(line.baud, 4800u);
  EXPECT_EQ(line.stopBits, 1);
}

TEST_F(TCommData, BlocksQueuedAtStopAreFreed) {
  const long arrays = pos::test::LiveArrays();
  comm_.StartComm();
  const std::vector<uint8_t> block = Pattern(4000);
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(Write(block));
  }
  comm_.StopComm();
  EXPECT_EQ(pos::test::LiveArrays(), arrays);
  pos::test::PumpOnce();
}

TEST_F(TCommData, UndeliveredChunksAreFreedWithTheComponent) {
  const long arrays = pos::test::LiveArrays();
  {
    TComm comm;
    Prepare(comm);
    comm.StartComm();
    peer_.send(Pattern(10000));
    Sleep(1000); // the chunks wait for a pump that never comes
    EXPECT_GT(pos::test::LiveArrays(), arrays) << "nothing was received";
  }
  EXPECT_EQ(pos::test::LiveArrays(), arrays);
  EXPECT_EQ(chunks_, 0);
}

} // namespace
