// Downloads and uploads of the price bus: what goes on the line, how the
// answers decide, and the retries.
#include "ECommsError.h"
#include "FtpBusFixture.h"
#include "TickCount.h"

#include <string>

namespace pondrex::test {
namespace {

class FtpBusTransfer : public FtpBusFixture {};

TEST_F(FtpBusTransfer, EachDownloadSendsItsFrameOnce) {
  struct TCase {
    uint8_t Dt, Ram;
    uint16_t Rom;
    uint8_t Len;
    Bytes Written;
  };
  bus.Buffer[0] = 0x00;
  bus.Buffer[1] = 0x00;
  bus.Buffer[2] = 0x04;
  bus.Buffer[3] = 0xE2;
  const std::vector<TCase> cases = {
      {0x44, 0x12, 0x3456, 4, {0x44}},
      {0x05, 0, 0, 0, {0x05}},
      {0x12, 0, 0, 9, {0x12}},
      {0x01, 0xFE, 0x1111, 4, {0x01, 0xFE}},
      {0x11, 0, 0, 0, {0x11, 0x00, 0x00, 0x00, 0x00, 0xEF}},
      {0x33, 0, 0, 0, {0x33, 0x00, 0x00, 0x00, 0x00, 0xCD}},
      {0x77, 0xF9, 0, 4, {0x77, 0xF9, 0x00, 0x00, 0x04, 0x00, 0x00, 0x04, 0xE2, 0xA6}},
  };
  for (const TCase &c : cases) {
    line.ClearEvents();
    EXPECT_TRUE(bus.DownloadData(c.Dt, c.Ram, c.Rom, c.Len)) << int(c.Dt);
    EXPECT_EQ(line.Writes(), std::vector<Bytes>{c.Written}) << int(c.Dt);
    EXPECT_FALSE(bus.Error());
  }
}

TEST_F(FtpBusTransfer, SilenceIsRetriedUpToRetryCountAndAnAckOfTheLastSendSucceeds) {
  scale.Silent = true;
  bus.SetRetryCount(0);
  EXPECT_FALSE(bus.DownloadData(0x44, 0, 0, 0));
  EXPECT_EQ(line.Writes().size(), 1u);
  EXPECT_TRUE(bus.Error());

  line.ClearEvents();
  bus.SetRetryCount(4);
  const uint32_t start = platform.TickCount();
  EXPECT_FALSE(bus.DownloadData(0x44, 0, 0, 0));
  const std::vector<TSerialEvent> writes = line.EventsOf(TSerialEventKind::Written);
  ASSERT_EQ(writes.size(), 5u);
  // Each send waited its 500 ms for an answer.
  EXPECT_GE(ElapsedTicks(start, writes[4].Tick), 2000u);
  EXPECT_LT(ElapsedTicks(start, writes[4].Tick), 2010u);

  // The scale answers only the fifth send.
  line.ClearEvents();
  int sends = 0;
  line.SetResponder([&sends](TFakeSerialLine &l, const TWrittenBlock &) {
    if (++sends == 5)
      l.Send({0x02}, 5);
  });
  EXPECT_TRUE(bus.DownloadData(0x44, 0, 0, 0));
  EXPECT_EQ(line.Writes().size(), 5u);
  EXPECT_FALSE(bus.Error());
}

TEST_F(FtpBusTransfer, TheFirstDecisiveByteCollectedDecidesTheWait) {
  struct TCase {
    const char *Name;
    std::vector<Bytes> Chunks;
    bool Acknowledged;
  };
  const std::vector<TCase> cases = {
      {"06", {{0x06}}, true},
      {"02", {{0x02}}, true},
      {"15", {{0x15}}, false},
      {"AA", {{0xAA}}, false},
      {"refusal first", {{0x53, 0x15, 0x06}}, false},
      {"acknowledgement first", {{0x53, 0x06, 0x15}}, true},
      {"in a weight frame", {{0x53, 0x02, 0x04, 0xD2}}, true},
      {"in an earlier chunk", {{0x41, 0x15}, {0x06}}, false},
      {"lone 01", {{0x01}}, false},
      {"lone 01, then more", {{0x01}, {0x06}}, true},
      {"01 not before 02", {{0x01, 0x06}}, true},
      {"text frame not ended", {{0x01, 0x02, 0x41, 0x06}}, false},
      {"nothing decisive", {{0x41, 0x42, 0x43}}, false},
  };
  bus.SetRetryCount(0);
  for (const TCase &c : cases) {
    line.SetResponder([&c](TFakeSerialLine &l, const TWrittenBlock &) {
      uint32_t delay = 5;
      for (const Bytes &chunk : c.Chunks) {
        l.Send(chunk, delay);
        delay += 50;
      }
    });
    EXPECT_EQ(bus.DownloadData(0x44, 0, 0, 0), c.Acknowledged) << c.Name;
    // Chunks still on their way arrive before the next case.
    platform.Sleep(1000);
    platform.PumpMessages();
  }
}

TEST_F(FtpBusTransfer, FramesThatDoNotFitTheBuffersAreRefusedUnsent) {
  EXPECT_FALSE(bus.DownloadData(0x77, 0xF9, 0, TFTPBusComm::MaxDownloadLength + 1));
  EXPECT_TRUE(bus.Error());
  EXPECT_FALSE(bus.UploadData(0x55, 0xF9, 0, TFTPBusComm::MaxUploadLength + 1));
  EXPECT_TRUE(line.Writes().empty());

  // The longest of each still goes.
  EXPECT_TRUE(bus.DownloadData(0x77, 0xF9, 0, TFTPBusComm::MaxDownloadLength));
  EXPECT_EQ(line.Writes().at(0).size(), 65u);
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &block) {
    l.Send(PriceUploadReply(block.Bytes, Bytes(TFTPBusComm::MaxUploadLength, 0x5A)), 5);
  });
  EXPECT_TRUE(bus.UploadData(0x55, 0xF9, 0, TFTPBusComm::MaxUploadLength));
  EXPECT_EQ(bus.Buffer[TFTPBusComm::MaxUploadLength - 1], 0x5A);
}

TEST_F(FtpBusTransfer, UploadTakesTheDataOfAReplyThatPassesItsCheck) {
  scale.SetSlot(2, {0x03, 0x01, 0x86, 0xA0});
  EXPECT_TRUE(bus.UploadData(0x55, 0xF9, 0x00E4, 4));
  EXPECT_EQ(line.Writes(), (std::vector<Bytes>{{0x55, 0xF9, 0x00, 0xE4, 0x04, 0xCA}}));
  EXPECT_EQ((Bytes(bus.Buffer.begin(), bus.Buffer.begin() + 4)), (Bytes{0x03, 0x01, 0x86, 0xA0}));

  // A reply that fails its check is asked for again.
  line.ClearEvents();
  bus.Buffer.fill(0);
  scale.CorruptReplies = 2;
  EXPECT_TRUE(bus.UploadData(0x55, 0xF9, 0x00E4, 4));
  EXPECT_EQ(line.Writes().size(), 3u);
  EXPECT_EQ(bus.Buffer[3], 0xA0);

  // A reply that keeps failing fails the upload after RetryCount + 1 tries.
  line.ClearEvents();
  scale.CorruptReplies = 100;
  EXPECT_FALSE(bus.UploadData(0x55, 0xF9, 0x00E4, 4));
  EXPECT_EQ(line.Writes().size(), 5u);
  EXPECT_TRUE(bus.Error());
}

TEST_F(FtpBusTransfer, UploadReplyCutShortIsAskedForAgain) {
  // The lead byte decides the wait before the rest arrives; the bytes still
  // collected from the request must not pass as data.
  int requests = 0;
  line.SetResponder([&requests](TFakeSerialLine &l, const TWrittenBlock &block) {
    const Bytes reply = PriceUploadReply(block.Bytes, {0x00, 0x00, 0x04, 0xE2});
    if (++requests == 1) {
      l.Send(Bytes(reply.begin(), reply.begin() + 3), 5);
      l.Send(Bytes(reply.begin() + 3, reply.end()), 60);
    } else {
      l.Send(reply, 5);
    }
  });
  EXPECT_TRUE(bus.UploadData(0x55, 0xF9, 0x00E0, 4));
  EXPECT_EQ(requests, 2);
  EXPECT_EQ(bus.Buffer[3], 0xE2);
}

TEST_F(FtpBusTransfer, InactiveBusSendsNothingAndFailsWithoutWaiting) {
  bus.EnableComm(false);
  const uint32_t start = platform.TickCount();
  EXPECT_FALSE(bus.DownloadData(0x44, 0, 0, 0));
  EXPECT_FALSE(bus.UploadData(0x55, 0xF9, 0x00E0, 4));
  EXPECT_TRUE(line.Writes().empty());
  EXPECT_LT(ElapsedTicks(start, platform.TickCount()), 10u);
}

TEST_F(FtpBusTransfer, AbortEndsTheWaitAndTheTransferAtOnce) {
  scale.Silent = true;
  platform.Post([this] { bus.Abort(); }, 100);
  EXPECT_FALSE(bus.DownloadData(0x44, 0, 0, 0));
  EXPECT_EQ(line.Writes().size(), 1u);
  EXPECT_TRUE(bus.Error());
}

TEST_F(FtpBusTransfer, EnableHoldsDtrOnWhileActiveAndLogsEveryWrite) {
  EXPECT_TRUE(bus.isActive());
  EXPECT_EQ(line.Settings().DtrControl, TDtrControl::DtrEnable);
  EXPECT_EQ(line.Settings().BaudRate, 9600u);
  bus.Buffer.fill(0xAB);
  ASSERT_TRUE(bus.DownloadData(0x77, 0xF9, 0, 12));
  const std::deque<std::string> log = bus.LogList();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], ">>>>>>Send data<<<<<<<<");
  EXPECT_EQ(log[1], "77 f9 00 00 0c ab ab ab ab ab ab ab ab ab ab ab ");
  EXPECT_EQ(log[2], "ab 80 ");
  EXPECT_EQ(log[3], "");

  bus.EnableComm(false);
  EXPECT_FALSE(bus.isActive());
  EXPECT_FALSE(line.IsOpen());
  // DTR dropped before the port closed.
  EXPECT_EQ(line.EventsOf(TSerialEventKind::Stopped).back().Settings.DtrControl, TDtrControl::DtrDisable);

  // Enabling again starts a new log.
  bus.EnableComm(true);
  EXPECT_TRUE(bus.LogList().empty());

  // A port that cannot be opened leaves the bus inactive.
  line.FailStart("Error opening serial port");
  EXPECT_THROW(bus.EnableComm(true), ECommsError);
  EXPECT_FALSE(bus.isActive());
}

TEST_F(FtpBusTransfer, SecondWritePathWritesThriceAndReportsNoTerminal) {
  scale.Silent = true;
  EXPECT_EQ(bus.writeData(Bytes{0x01, 0x02, 0x03}), 0);
  EXPECT_EQ(line.Writes(), (std::vector<Bytes>(3, Bytes{0x01, 0x02, 0x03})));
}

} // namespace
} // namespace pondrex::test
