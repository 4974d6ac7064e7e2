// One command over the serial port: retries and time-outs on the virtual
// clock, how answers are judged by the command's kind, and the state a
// transfer leaves behind.
#include "LinkTestSupport.h"

#include "TccHecrCommand.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pondrex::test {
namespace {

constexpr int32_t TareId = 5;
constexpr int32_t ZeroId = 4;
constexpr int32_t OpBoxStateId = 23;
constexpr int32_t WindLevelId = 42;

const Bytes Ack = ScaleFrame(0x800E0000);
const Bytes TareFrame = ScaleFrame(0x80040000);

class SilentScale : public LinkFixture, public ::testing::WithParamInterface<int32_t> {};

TEST_P(SilentScale, GetsTheFrameRetrycntTimesThenRetriesExhausted) {
  const int32_t retries = GetParam();
  link.SetRetrycnt(retries);
  OpenSerial();
  const uint32_t start = platform.TickCount();

  EXPECT_FALSE(Send(TareId));

  const uint32_t elapsed = platform.TickCount() - start;
  EXPECT_EQ(line.Writes(), std::vector<Bytes>(static_cast<size_t>(retries), TareFrame));
  std::vector<int32_t> expected(static_cast<size_t>(retries), THecrLink::ErrRetrying);
  expected.push_back(THecrLink::ErrRetriesExhausted);
  EXPECT_EQ(Errors(), expected);
  EXPECT_EQ(CountLog("TimeOut"), static_cast<size_t>(retries));
  for (int32_t i = 0; i < retries; ++i)
    EXPECT_EQ(CountLog("Retry:" + std::to_string(i)), 1u);
  // Each attempt waits the whole time-out, on the virtual clock.
  EXPECT_GE(elapsed, static_cast<uint32_t>(retries) * 5000u);
  EXPECT_LT(elapsed, static_cast<uint32_t>(retries) * 5000u + 200u);
}

INSTANTIATE_TEST_SUITE_P(Retrycnt, SilentScale, ::testing::Values(0, 1, 5));

TEST_F(LinkFixture, AcknowledgementEndsTheTransferWithSuccess) {
  OpenSerial();
  AnswerWith(Ack);
  EXPECT_TRUE(Send(TareId));
  EXPECT_EQ(line.Writes().size(), 1u);
  EXPECT_TRUE(Errors().empty());
  const std::vector<std::string> log = LogLines();
  const auto mark = std::find(log.begin(), log.end(), "333");
  ASSERT_NE(mark, log.end());
  EXPECT_EQ(std::vector<std::string>(mark, log.end()), (std::vector<std::string>{"333", "555", "444"}));
  EXPECT_EQ(log.front().rfind("Send:ab 00 01 e2 40 80 04 00 00 00 00 00 52 ", 0), 0u);
}

// The wait takes the answer the moment the receive path has it, not at the
// end of a 10 ms step.
TEST_F(LinkFixture, AnswerPostedOneMsIntoAStepEndsTheWaitAtOneMs) {
  OpenSerial();
  AnswerWith(Ack, 1);
  const uint32_t start = platform.TickCount();
  EXPECT_TRUE(Send(TareId));
  EXPECT_EQ(platform.TickCount() - start, 1u);
  EXPECT_EQ(line.Writes().size(), 1u);
}

// Messages of the host wake the wait early; the time-out (rounded up to
// whole 10 ms steps) is still measured in full, attempt by attempt.
TEST_F(LinkFixture, MessagesThatWakeTheWaitDoNotShortenTheTimeOut) {
  link.SetRetrycnt(2);
  link.SetTimeOut(95);
  OpenSerial();
  for (uint32_t ms = 1; ms <= 300; ++ms)
    platform.Post([] {}, ms);
  const uint32_t start = platform.TickCount();
  EXPECT_FALSE(Send(TareId));
  const uint32_t elapsed = platform.TickCount() - start;
  EXPECT_GE(elapsed, 2u * 100u);
  EXPECT_LT(elapsed, 2u * 100u + 5u);
  EXPECT_EQ(line.Writes().size(), 2u);
  EXPECT_EQ(CountLog("TimeOut"), 2u);
  EXPECT_EQ(Errors(), (std::vector<int32_t>{THecrLink::ErrRetrying, THecrLink::ErrRetrying,
                                            THecrLink::ErrRetriesExhausted}));
}

TEST_F(LinkFixture, RefusalRaisesTheScalesCodeAndFails) {
  OpenSerial();
  AnswerWith(ScaleFrame(0x800D1205));
  EXPECT_FALSE(Send(TareId));
  EXPECT_EQ(Errors(), std::vector<int32_t>{5});
  EXPECT_EQ(link.Checker().ResultID(), 5);
  EXPECT_EQ(line.Writes().size(), 1u);
}

TEST_F(LinkFixture, ReadSucceedsOnlyOnItsOwnAnswerAndOnlyThatReachesOnStatus) {
  struct Case {
    const char *name;
    Bytes answer;
    bool ok;
    std::vector<TLinkEvent> events;
  };
  const std::vector<Case> cases = {
      {"data", ScaleFrame(0x91160000, {1, 2, 3}), true, {{TLinkEvent::Status, 0, {1, 2, 3}, {}}}},
      // Without data the event carries no data, not the frame that was sent.
      {"no data", ScaleFrame(0x91160000), true, {{TLinkEvent::Status, 0, {}, {}}}},
      {"refusal", ScaleFrame(0x800D0007), false, {}},
      {"acknowledgement", Ack, false, {}},
      {"other command", ScaleFrame(0x91130000, {9, 9}), false, {}},
  };
  OpenSerial();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    events.clear();
    AnswerWith(c.answer);
    EXPECT_EQ(Send(OpBoxStateId), c.ok);
    EXPECT_EQ(events, c.events) << Describe(events);
  }
}

TEST_F(LinkFixture, InactiveLinkRaisesNotActiveAndSendsNothing) {
  EXPECT_FALSE(Send(TareId));
  EXPECT_EQ(Errors(), std::vector<int32_t>{THecrLink::ErrNotActive});
  EXPECT_TRUE(line.Writes().empty());
}

// Open takes the frames that the scale sends at once in 31 passes of 1 ms;
// they last 31 ms even where the tick count moves in 16 ms steps.
TEST_F(LinkFixture, OpenPassesLastTheirTimeWhereTheTickCountIsCoarse) {
  platform.SetTickStepMs(16);
  const uint32_t started = platform.MonotonicMs();
  OpenSerial();
  const uint32_t took = platform.MonotonicMs() - started;
  EXPECT_GE(took, 31u);
  EXPECT_LE(took, 32u);
}

TEST_F(LinkFixture, OpenFailureIsLoggedAndRaised) {
  line.FailStart("Error opening serial port");
  link.Open();
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(Errors(), std::vector<int32_t>{THecrLink::ErrOpenFailed});
  EXPECT_EQ(CountLog("Error opening serial port"), 1u);
}

// After a transfer that ended early, a refusal is no longer an answer: it is
// reported as one that arrived while nothing waited.
TEST_F(LinkFixture, NoCommandWaitsAfterATransferEndedEarly) {
  OpenSerial();
  EXPECT_FALSE(link.SendBuffer(Cmd(TareId), {}, 0, 0, u"12ab")); // no frame can be built
  EXPECT_TRUE(line.Writes().empty());
  EXPECT_EQ(link.Checker().hCmd(), nullptr);

  platform.Post([this] { link.Close(); }, 100); // ends the wait before any frame was checked
  EXPECT_FALSE(Send(TareId));
  EXPECT_EQ(CountLog("11111"), 1u);
  EXPECT_EQ(link.Checker().hCmd(), nullptr);

  OpenSerial();
  events.clear();
  line.Send(ScaleFrame(0x800D0009));
  platform.PumpMessages();
  EXPECT_EQ(Errors(), std::vector<int32_t>{9});
  EXPECT_TRUE(link.NAKFlag());
  EXPECT_EQ(CountLog("result :ccstest"), 1u);
}

TEST_F(LinkFixture, CommandFromAnEventHandlerDuringAWaitFailsWithoutSending) {
  OpenSerial();
  int32_t written = 0;
  line.SetResponder([&written](TFakeSerialLine &l, const TWrittenBlock &) {
    if (++written == 2)
      l.Send(Ack, 5);
  });
  std::vector<bool> nested;
  link.OnError = [&](THecrLink &, int32_t code) {
    events.push_back({TLinkEvent::Error, code, {}, {}});
    nested.push_back(Send(ZeroId));
  };
  EXPECT_TRUE(Send(TareId));
  EXPECT_EQ(nested, std::vector<bool>{false});
  EXPECT_EQ(line.Writes(), (std::vector<Bytes>{TareFrame, TareFrame}));
  EXPECT_EQ(Errors(), std::vector<int32_t>{THecrLink::ErrRetrying});
}

TEST_F(LinkFixture, AnswerIsJudgedEvenWhenOtherFramesFollowItInTheSameChunk) {
  OpenSerial();
  AnswerWith(Join({Ack, ScaleFrame(0x83000000, {1, 2, 3, 4}), ScaleFrame(0x800D0003)}));
  EXPECT_TRUE(Send(TareId));
  EXPECT_TRUE(events.empty()) << Describe(events);
}

TEST_F(LinkFixture, MultiPacketReadKeepsEachCheckedPacketInItsOwnSlot) {
  OpenSerial();
  const Bytes packet0 = {0, 1, 2, 3};
  const Bytes packet1 = {0, 0, 0, 7};
  line.SetResponder([&](TFakeSerialLine &l, const TWrittenBlock &block) {
    const uint8_t packet = block.Bytes[9];
    if (packet == 2)
      l.Send(ScaleFrame(0x800D0001), 5);
    else
      l.Send(ScaleFrame(0xA0030000, packet == 0 ? packet0 : packet1, packet), 5);
  });
  std::vector<Bytes> collectedAtStatus;
  link.OnStatus = [&](THecrLink &, TPelqoEventArgs &args) { collectedAtStatus.push_back(args.TmpBuffer); };

  EXPECT_TRUE(Send(WindLevelId, {}, 0));
  EXPECT_TRUE(Send(WindLevelId, {}, 1));
  EXPECT_FALSE(Send(WindLevelId, {}, 2));

  Bytes expected(128, 0);
  std::copy(packet0.begin(), packet0.end(), expected.begin());
  std::copy(packet1.begin(), packet1.end(), expected.begin() + 32);
  EXPECT_EQ(link.PelqoEventArgs().TmpBuffer, expected);
  EXPECT_EQ(link.PelqoEventArgs().TmpBuffer[35], 7);
  // The driver decodes the slots inside the status event of each packet.
  ASSERT_EQ(collectedAtStatus.size(), 2u);
  EXPECT_EQ(collectedAtStatus[1], expected);
}

TEST_F(LinkFixture, ParameterOfAnEntryIsOredIntoTheCode) {
  OpenSerial();
  AnswerWith(Ack);
  TccHecrCommand *frequency = Cmd(2);
  frequency->SetOrflag(true);
  frequency->SetOrvalue(0x1200);
  EXPECT_TRUE(Send(2));
  // The entry keeps its parameter for the next send.
  EXPECT_TRUE(Send(2));
  EXPECT_EQ(line.Writes(), (std::vector<Bytes>{ScaleFrame(0x80011200), ScaleFrame(0x80011200)}));
}

TEST_F(LinkFixture, CloseDuringAWaitEndsTheTransferAsAFailure) {
  OpenSerial();
  platform.Post([this] { link.Close(); }, 200);
  const uint32_t start = platform.TickCount();
  EXPECT_FALSE(Send(TareId));
  EXPECT_LT(platform.TickCount() - start, 1000u);
  EXPECT_EQ(line.Writes().size(), 1u);
  EXPECT_FALSE(line.IsOpen());
}

TEST_F(LinkFixture, ClosedLinkOpensAgainInEverySerialMode) {
  for (TCommunicationMode mode : {TCommunicationMode::cmCOM, TCommunicationMode::cmUSBPRN}) {
    link.SetMode(mode);
    for (int round = 0; round < 2; ++round) {
      link.Open();
      EXPECT_TRUE(link.Active());
      EXPECT_TRUE(line.IsOpen());
      link.Close();
      EXPECT_FALSE(line.IsOpen());
    }
  }
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(flags.UsbPrnPortOpened, 1);
}

TEST_F(LinkFixture, WriteSendsRawBytesOnlyOverTheSerialPort) {
  link.write("\x05\x11", 2);
  EXPECT_EQ(Errors(), std::vector<int32_t>{THecrLink::ErrNotActive});
  OpenSerial();
  link.write(std::string("\x05\x11", 2), 2);
  link.write("PELQO", 3);
  link.write("PELQO", 99);
  EXPECT_EQ(line.Writes(), (std::vector<Bytes>{{0x05, 0x11}, {'P', 'E', 'L'}, {'P', 'E', 'L', 'Q', 'O'}}));
  link.SetMode(TCommunicationMode::cmUDP);
  link.write("PELQO", 5);
  EXPECT_EQ(line.Writes().size(), 3u);
}

// With a USB scale the link only waits: nothing goes to the serial port, and
// an answer is whatever ends the wait.
TEST_F(LinkFixture, UsbPrinterModeWithAUsbScaleWaitsWithoutWriting) {
  flags.UsbScaleFound = 1;
  link.SetMode(TCommunicationMode::cmUSBPRN);
  link.SetRetrycnt(2);
  link.SetTimeOut(600);
  OpenSerial();
  const uint32_t start = platform.TickCount();
  EXPECT_FALSE(Send(TareId));
  // Each step sleeps 50 ms and counts 150: four steps an attempt.
  EXPECT_LT(platform.TickCount() - start, 2u * 4u * 50u + 100u);
  EXPECT_EQ(Errors(), (std::vector<int32_t>{THecrLink::ErrRetrying, THecrLink::ErrRetrying,
                                            THecrLink::ErrRetriesExhausted}));
  platform.Post([this] { link.SetTerminate(true); }, 100);
  Send(TareId);
  EXPECT_EQ(CountLog("FTerminate:true"), 1u);
  EXPECT_TRUE(line.Writes().empty());
}

TEST_F(LinkFixture, TcpAndUsbModesSendNothingAndFail) {
  for (TCommunicationMode mode : {TCommunicationMode::cmTCP, TCommunicationMode::cmUSB}) {
    link.SetMode(mode);
    link.Open();
    EXPECT_TRUE(link.Active());
    EXPECT_FALSE(Send(TareId));
  }
  EXPECT_TRUE(line.Writes().empty());
  EXPECT_TRUE(Errors().empty());
}

} // namespace
} // namespace pondrex::test
