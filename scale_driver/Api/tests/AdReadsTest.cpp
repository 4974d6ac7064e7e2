// The AD-read exports: the request frames and their resends, the values of
// the AD frame that answers, the buffers, and the bounded wait of the text
// requests.
#include "AdReads.h"
#include "GuardedBuffers.h"
#include "OpenLinkFixture.h"

namespace pondrex::test {
namespace {

const Bytes FullAdRequest = AdRequestFrame(0x38, 0x02, 0x71);
const Bytes MultiAdRequest = AdRequestFrame(0x38, 0x07, 0x6C);
const Bytes TareZeroAdRequest = AdRequestFrame(0x39, 0x04, 0x6E);

// Three caller buffers of 6 bytes, each between guards.
using AdBuffers = TGuardedBuffers<api::AdBufferRoom, 3>;

class AdReads : public OpenLinkFixture {
protected:
  AdBuffers buffers;
};

TEST_F(AdReads, FrameReadsTakeTheValuesOfTheAnswerToTheirFirstRequest) {
  struct Case {
    const char *name;
    std::function<int32_t(TPSensor &, AdBuffers &)> run;
    Bytes request, answer;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {"multi",
       [](TPSensor &s, AdBuffers &b) { return api::ReadMultiAD(s, b.Data(0), b.Data(1), b.Data(2)); },
       MultiAdRequest,
       AdU8Frame("V12", 0x0102, 0xFFFE),
       {"258", "V12", "65534"}},
      {"tare and zero",
       [](TPSensor &s, AdBuffers &b) { return api::ReadTZAD(s, b.Data(0), b.Data(1)); },
       TareZeroAdRequest,
       AdU9Frame(0x0010, 0x0203),
       {"515", "16", "untouched"}},
      // The full AD of the 'U','8' answer.
      {"full",
       [](TPSensor &s, AdBuffers &b) { return api::ReadFullAD(s, b.Data(0)); },
       FullAdRequest,
       AdU8Frame("V30", 7, 40000),
       {"40000", "untouched", "untouched"}},
  };
  for (const Case &c : cases) {
    buffers = AdBuffers();
    line.ClearEvents();
    Answer(c.request, c.answer, 50);
    EXPECT_EQ(Timed([&] { return c.run(sensor, buffers); }), -1) << c.name;
    // One request; the answer ends the first pass the moment it comes.
    EXPECT_EQ(line.Writes(), std::vector<Bytes>{c.request}) << c.name;
    EXPECT_EQ(Took(), 50u) << c.name;
    EXPECT_EQ((std::vector<std::string>{buffers.Text(0), buffers.Text(1), buffers.Text(2)}), c.texts)
        << c.name;
    EXPECT_TRUE(buffers.GuardsKept()) << c.name;
  }
}

TEST_F(AdReads, SilentScaleGetsTheResendsAndNoBufferIsTouched) {
  Bytes fullResend = FullAdRequest;
  fullResend.insert(fullResend.begin(), 0x44);
  std::vector<Bytes> fullWrites(7, fullResend);
  fullWrites[0] = FullAdRequest;
  struct Case {
    const char *name;
    std::function<int32_t(TPSensor &, AdBuffers &)> run;
    std::vector<Bytes> writes;
  };
  const Case cases[] = {
      {"full", [](TPSensor &s, AdBuffers &b) { return api::ReadFullAD(s, b.Data(0)); }, fullWrites},
      {"multi",
       [](TPSensor &s, AdBuffers &b) { return api::ReadMultiAD(s, b.Data(0), b.Data(1), b.Data(2)); },
       std::vector<Bytes>(6, MultiAdRequest)},
      {"tare and zero", [](TPSensor &s, AdBuffers &b) { return api::ReadTZAD(s, b.Data(0), b.Data(1)); },
       std::vector<Bytes>(6, TareZeroAdRequest)},
  };
  for (const Case &c : cases) {
    line.ClearEvents();
    EXPECT_EQ(Timed([&] { return c.run(sensor, buffers); }), 0) << c.name;
    EXPECT_EQ(line.Writes(), c.writes) << c.name;
    // 200 ms before each resend, none after the last.
    EXPECT_EQ(WriteTimes().back(), 200u * (c.writes.size() - 1)) << c.name;
    EXPECT_EQ(Took(), WriteTimes().back()) << c.name;
  }
  EXPECT_EQ(buffers.Text(0) + buffers.Text(1) + buffers.Text(2), "untouched"
                                                                 "untouched"
                                                                 "untouched");
  EXPECT_TRUE(buffers.GuardsKept());
}

TEST_F(AdReads, AnAnswerOfTheOtherKindIsNotTakenForTheValues) {
  // A 'U','9' frame, say a late answer to an earlier read, then the 'U','8'
  // answer to the second request.
  int32_t requests = 0;
  line.SetResponder([&](TFakeSerialLine &l, const TWrittenBlock &block) {
    if (block.Bytes == MultiAdRequest)
      l.Send(++requests == 1 ? AdU9Frame(1, 2) : AdU8Frame("V99", 5, 6), 50);
  });
  EXPECT_EQ(
      Timed([&] { return api::ReadMultiAD(sensor, buffers.Data(0), buffers.Data(1), buffers.Data(2)); }), -1);
  EXPECT_EQ(line.Writes().size(), 2u);
  // The frame of the other kind does not cut the first pass short; the
  // answer to the resend is taken when it comes.
  EXPECT_EQ(Took(), 200u + 50u);
  EXPECT_EQ(buffers.Text(0) + " " + buffers.Text(1) + " " + buffers.Text(2), "5 V99 6");

  // Only frames of the other kind: no values, no buffer written.
  AdBuffers fresh;
  line.ClearEvents();
  Answer(TareZeroAdRequest, AdU8Frame("V12", 1, 2), 50);
  EXPECT_EQ(api::ReadTZAD(sensor, fresh.Data(0), fresh.Data(1)), 0);
  EXPECT_EQ(line.Writes().size(), 6u);
  EXPECT_EQ(fresh.Text(0) + fresh.Text(1), "untouched"
                                           "untouched");
}

TEST_F(AdReads, NullBuffersAreSkipped) {
  Answer(MultiAdRequest, AdU8Frame("V12", 3, 4));
  EXPECT_EQ(api::ReadMultiAD(sensor, nullptr, buffers.Data(1), nullptr), -1);
  EXPECT_EQ(buffers.Text(1), "V12");
  EXPECT_EQ(buffers.Text(0) + buffers.Text(2), "untouched"
                                               "untouched");
}

TEST_F(AdReads, ClosedLinkWritesNothingAndTouchesNoBuffer) {
  link().Close();
  line.ClearEvents();
  EXPECT_EQ(api::ReadFullAD(sensor, buffers.Data(0)), 0);
  EXPECT_EQ(api::ReadMultiAD(sensor, buffers.Data(0), buffers.Data(1), buffers.Data(2)), 0);
  EXPECT_EQ(api::ReadTZAD(sensor, buffers.Data(0), buffers.Data(1)), 0);
  EXPECT_TRUE(line.Writes().empty());
  EXPECT_TRUE(SensorErrors().empty());
  EXPECT_EQ(buffers.Text(0) + buffers.Text(1) + buffers.Text(2), "untouched"
                                                                 "untouched"
                                                                 "untouched");
}

TEST_F(AdReads, TextRequestWaitsForItsTextNoLongerThanTheLinkTimeOut) {
  struct Case {
    api::TAdText which;
    Bytes request;
  };
  // 0x11 "AD" and 0x11 "TA".
  const Case cases[] = {{api::TAdText::Current, Text("\x11\x41\x44")},
                        {api::TAdText::Tare, Text("\x11\x54\x41")}};
  link().SetTimeOut(1000);
  for (const Case &c : cases) {
    line.ClearEvents();
    sensor.SetAD(77);
    // A text held from before the request is not the answer.
    link().SetCurrAD(u"1");
    link().SetTareAD(u"2");
    EXPECT_EQ(Timed([&] { return api::ReadAdText(sensor, c.which); }), std::nullopt);
    EXPECT_EQ(line.Writes(), std::vector<Bytes>{c.request});
    EXPECT_EQ(sensor.AD(), 0);
    // The 500 ms sleep, then steps of 100 ms until more than 1000 ms passed.
    EXPECT_EQ(Took(), 500u + 1100u);
  }

  // A text that comes during the wait is returned when it comes.
  platform.Post([this] { link().SetTareAD(u"4321"); }, 750);
  EXPECT_EQ(Timed([&] { return api::ReadAdText(sensor, api::TAdText::Tare); }), u"4321");
  EXPECT_EQ(Took(), 750u);
}

TEST_F(AdReads, TextRequestOnAClosedLinkStillEndsAtTheBound) {
  link().Close();
  link().SetTimeOut(0);
  EXPECT_EQ(Timed([&] { return api::ReadAdText(sensor, api::TAdText::Current); }), std::nullopt);
  EXPECT_EQ(Took(), 500u + 100u);
  EXPECT_EQ(SensorErrors(), std::vector<int32_t>{THecrLink::ErrNotActive});
}

} // namespace
} // namespace pondrex::test
