// Opening the scale: what OpenDevice and __Open write and when, what they
// return, and the handshake, against a scripted scale on the fake platform.
#include "OpenScale.h"
#include "ApiTestFixture.h"
#include "LinkControl.h"
#include "TickCount.h"

namespace pondrex::test {
namespace {

const Bytes Request = {0x11};
const Bytes DoubleRequest = {0x05, 0x11};
const Bytes Pelqo = {'P', 'E', 'L', 'Q', 'O'};
const Bytes SecondPart = {0x03, 0x05, 0x01, 0x04, 0x0C, 0x04, 0x03, 0x04, 0x01, 0x04};

std::vector<int32_t> errors;
void PONDREX_STDCALL OnSensorErr(int32_t code) {
  errors.push_back(code);
}

class OpenScale : public ApiFixture {
protected:
  OpenScale() {
    errors.clear();
    slots.SensorErrProc = &OnSensorErr;
    line.SetResponder([this](TFakeSerialLine &l, const TWrittenBlock &block) {
      if ((block.Bytes == Request || block.Bytes == DoubleRequest) && !weightAnswer.empty())
        l.Send(weightAnswer, 20);
      if ((block.Bytes == Pelqo && echoPelqo) || (block.Bytes == SecondPart && echoSecondPart))
        l.Send(block.Bytes, 3);
    });
  }

  int32_t Open(bool doubleRequest = false) {
    started = platform.MonotonicMs();
    const int32_t result = doubleRequest ? api::OpenWithDoubleRequest(sensor, "COM3", 9600)
                                         : api::OpenDevice(sensor, "COM3", 9600);
    took = ElapsedTicks(started, platform.MonotonicMs());
    return result;
  }
  std::vector<Bytes> Writes() const { return line.Writes(); }

  Bytes weightAnswer;
  bool echoPelqo = false;
  bool echoSecondPart = false;
  uint32_t started = 0;
  uint32_t took = 0;
};

TEST_F(OpenScale, OpenDeviceAsksForAWeightFrameThenRunsTheHandshake) {
  weightAnswer = Is1Frame('S', ' ', "  1.25", "kg");
  struct Case {
    bool echoPelqo, echoSecondPart;
    std::vector<Bytes> writes;
    int32_t result;
  };
  const Case cases[] = {
      {true, true, {Request, Pelqo, SecondPart}, -1},
      {true, false, {Request, Pelqo, SecondPart}, 0},
      // A scale that does not echo takes no part in the handshake.
      {false, false, {Request, Pelqo}, -1},
  };
  for (const Case &c : cases) {
    echoPelqo = c.echoPelqo;
    echoSecondPart = c.echoSecondPart;
    line.ClearEvents();
    EXPECT_EQ(Open(), c.result);
    EXPECT_EQ(Writes(), c.writes) << c.echoPelqo << c.echoSecondPart;
    EXPECT_EQ(sensor.Is1Value(), u"S, ,  1.25,kg,0");
    EXPECT_TRUE(link().Active());
  }
  // The wait for an echo that never comes is 500 passes of 1 ms.
  EXPECT_GE(took, 500u);
  EXPECT_LT(took, 700u);
}

// Where the tick count moves in 16 ms steps (Windows, whatever resolution the
// host asked for), the passes of 1 ms still last 1 ms each.
TEST_F(OpenScale, HandshakeWaitLastsItsPassesWhereTheTickCountIsCoarse) {
  platform.SetTickStepMs(16);
  weightAnswer = Is1Frame('S', ' ', "  1.25", "kg");
  EXPECT_EQ(Open(), -1);
  EXPECT_EQ(Writes(), (std::vector<Bytes>{Request, Pelqo}));
  EXPECT_GE(took, 500u);
  EXPECT_LT(took, 700u);
}

TEST_F(OpenScale, SilentScaleGetsTheWeightRequestEightTimesMoreThan150msApart) {
  EXPECT_EQ(Open(), 0);
  EXPECT_EQ(Writes(), std::vector<Bytes>(8, Request));
  const std::vector<TSerialEvent> written = line.EventsOf(TSerialEventKind::Written);
  for (size_t i = 1; i < written.size(); ++i)
    EXPECT_GT(ElapsedTicks(written[i - 1].Tick, written[i].Tick), 150u) << i;
  EXPECT_TRUE(link().Active());
  EXPECT_TRUE(errors.empty());
}

TEST_F(OpenScale, DoubleRequestOpenWritesItsOwnPatternToASilentScale) {
  EXPECT_EQ(Open(true), 0);
  std::vector<Bytes> expected = {DoubleRequest};
  expected.insert(expected.end(), 4, Request);
  expected.insert(expected.end(), 4, DoubleRequest);
  EXPECT_EQ(Writes(), expected);
  EXPECT_TRUE(link().Active());
  EXPECT_GE(took, 1200u);
}

TEST_F(OpenScale, DoubleRequestOpenStopsAtTheFirstAnswer) {
  const std::pair<Bytes, int32_t> cases[] = {
      {Is1Frame('S', ' ', "  0.50", "kg"), -1},
      {ScaleFrame(0x800E0000), -1},
      // A weight frame that fails its check is an answer, but no weight.
      {[] {
         Bytes bad = Is1Frame('S', ' ', "  0.50", "kg");
         bad[12] ^= 0xFF;
         return bad;
       }(),
       0},
  };
  for (const auto &[answer, result] : cases) {
    weightAnswer = answer;
    line.ClearEvents();
    EXPECT_EQ(Open(true), result);
    EXPECT_EQ(Writes(), std::vector<Bytes>{DoubleRequest});
  }
}

TEST_F(OpenScale, FrameDuringTheOpenMeansNoRequestIsWritten) {
  echoPelqo = echoSecondPart = true;
  line.Send(Is1Frame('S', ' ', "  2.00", "kg"), 5);
  EXPECT_EQ(Open(), -1);
  EXPECT_EQ(Writes(), (std::vector<Bytes>{Pelqo, SecondPart}));

  api::CloseDevice(link());
  line.ClearEvents();
  line.Send(ScaleFrame(0x800E0000), 5);
  EXPECT_EQ(Open(true), -1);
  EXPECT_TRUE(Writes().empty());
}

TEST_F(OpenScale, PortThatCannotBeOpenedFailsAtOnce) {
  line.FailStart("Error opening serial port");
  EXPECT_EQ(Open(), 0);
  EXPECT_FALSE(link().Active());
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(errors, (std::vector<int32_t>{-2, -1}));
  EXPECT_LT(took, 150u);
}

TEST_F(OpenScale, UsbPrinterModeWaitsOrBecomesASerialPort) {
  api::SetCommMode(link(), 260);
  ASSERT_EQ(link().Mode(), TCommunicationMode::cmUSBPRN);
  EXPECT_EQ(Open(), 0);
  EXPECT_GE(took, 8000u);
  EXPECT_TRUE(line.IsOpen());

  api::CloseDevice(link());
  line.ClearEvents();
  EXPECT_EQ(Open(true), 0);
  EXPECT_EQ(link().Mode(), TCommunicationMode::cmCOM);
  EXPECT_TRUE(line.IsOpen());
  EXPECT_LT(took, 8000u);
}

} // namespace
} // namespace pondrex::test
