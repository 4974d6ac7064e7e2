// The polled-weight exports: each text handed out once, the waits for one,
// and the requests for a fresh weight frame.
#include "PolledWeights.h"
#include "GuardedBuffers.h"
#include "OpenLinkFixture.h"

namespace pondrex::test {
namespace {

const Bytes Request = {0x11};
const Bytes DoubleRequest = {0x05, 0x11};

class PolledWeights : public OpenLinkFixture {};

TEST_F(PolledWeights, WeightTextIsHandedOutOnceThenNothingAfter150ms) {
  line.Send(Is1Frame('S', ' ', "  1.25", "kg", 0x30), 40);
  EXPECT_EQ(Timed([&] { return api::TakeWeightText(sensor); }), u"S, ,  1.25,kg,48");
  EXPECT_EQ(Took(), 40u);
  // A text already held is taken without waiting.
  sensor.SetIs1Value(u"S, ,  2.00,kg,0");
  EXPECT_EQ(Timed([&] { return api::TakeWeightText(sensor); }), u"S, ,  2.00,kg,0");
  EXPECT_EQ(Took(), 0u);
  EXPECT_EQ(Timed([&] { return api::TakeWeightText(sensor); }), std::nullopt);
  EXPECT_EQ(Took(), 151u);
  EXPECT_TRUE(line.Writes().empty());
}

TEST_F(PolledWeights, MeasurementTextIsHandedOutOnce) {
  line.Send(ScaleFrame(0x83000000, MeasurementPayload(201)), 30);
  EXPECT_EQ(Timed([&] { return api::TakeMeasurementText(sensor); }), u"12.34,1,13.34,1,2,0,201");
  EXPECT_EQ(Took(), 30u);
  EXPECT_EQ(Timed([&] { return api::TakeMeasurementText(sensor); }), std::nullopt);
  EXPECT_EQ(Took(), 151u);
}

TEST_F(PolledWeights, WeightTextGoesIntoTheBufferWithItsZeroByte) {
  TGuardedBuffers<api::WeightBufferRoom> buffer;
  sensor.SetIs1Value(u"S, ,  1.25,kg,48"); // 16 characters
  EXPECT_EQ(Timed([&] { return api::TakeWeightTextInto(sensor, buffer.Data()); }), -1);
  EXPECT_EQ(Took(), 0u);
  EXPECT_EQ(buffer.Text(), "S, ,  1.25,kg,48");
  EXPECT_TRUE(buffer.UntouchedFrom(17));
  EXPECT_TRUE(sensor.Is1Value().empty());

  // One that arrives during the wait.
  line.Send(Is1Frame('U', '-', "  0.75", "lb"), 400);
  EXPECT_EQ(Timed([&] { return api::TakeWeightTextInto(sensor, buffer.Data()); }), -1);
  EXPECT_EQ(Took(), 400u);
  EXPECT_EQ(buffer.Text(), "U,-,  0.75,lb,0");
}

TEST_F(PolledWeights, NoWeightTextLeavesTheBufferUntouchedAfterOneSecond) {
  TGuardedBuffers<api::WeightBufferRoom> buffer;
  EXPECT_EQ(Timed([&] { return api::TakeWeightTextInto(sensor, buffer.Data()); }), 0);
  EXPECT_EQ(Took(), 1001u);
  EXPECT_TRUE(buffer.UntouchedFrom(0));
  // Without a buffer nothing is taken.
  sensor.SetIs1Value(u"S, ,  1.25,kg,48");
  EXPECT_EQ(api::TakeWeightTextInto(sensor, nullptr), 0);
  EXPECT_EQ(sensor.Is1Value(), u"S, ,  1.25,kg,48");
}

TEST_F(PolledWeights, OverlongWeightTextIsCutToTheBuffer) {
  TGuardedBuffers<api::WeightBufferRoom> buffer;
  sensor.SetIs1Value(std::u16string(40, u'7'));
  EXPECT_EQ(api::TakeWeightTextInto(sensor, buffer.Data()), -1);
  EXPECT_EQ(buffer.Text(), std::string(34, '7'));
  EXPECT_TRUE(buffer.UntouchedFrom(35));
}

TEST_F(PolledWeights, SilentScaleGetsEachRequestAsOftenAsItsExportRepeats) {
  struct Case {
    const char *name;
    std::function<std::optional<std::u16string>(TPSensor &)> run;
    std::vector<Bytes> writes;
    uint32_t sleepMs; // the sleep before each pump
  };
  std::vector<Bytes> twoPhases(5, DoubleRequest);
  twoPhases.insert(twoPhases.end(), 4, Request);
  const Case cases[] = {
      {"single", api::RequestWeight, std::vector<Bytes>(8, Request), 0},
      {"two phases", api::RequestWeightTwoPhases, twoPhases, 10},
  };
  for (const Case &c : cases) {
    line.ClearEvents();
    sensor.SetIs1Value(u"old");
    EXPECT_EQ(Timed([&] { return c.run(sensor); }), std::nullopt) << c.name;
    EXPECT_EQ(line.Writes(), c.writes) << c.name;
    const std::vector<uint32_t> times = WriteTimes();
    for (size_t i = 1; i < times.size(); ++i) {
      const uint32_t gap = times[i] - times[i - 1];
      // The second phase's first request comes after the spacing too.
      EXPECT_GT(gap, 150u) << c.name << " " << i;
      EXPECT_LE(gap, 151u + c.sleepMs) << c.name << " " << i;
    }
    EXPECT_EQ(Took(), times.back()) << c.name;
  }
}

TEST_F(PolledWeights, RequestReturnsTheAnswerAndKeepsItForTheNextPoll) {
  const Bytes frame = Is1Frame('S', ' ', "  3.50", "kg");
  int32_t requests = 0;
  line.SetResponder([&](TFakeSerialLine &l, const TWrittenBlock &block) {
    if (block.Bytes == Request && ++requests == 3)
      l.Send(frame, 20);
  });
  EXPECT_EQ(api::RequestWeight(sensor), u"S, ,  3.50,kg,0");
  EXPECT_EQ(line.Writes().size(), 3u);
  EXPECT_EQ(api::TakeWeightText(sensor), u"S, ,  3.50,kg,0");

  // The two-phase request is answered in its second phase.
  line.ClearEvents();
  requests = 0;
  EXPECT_EQ(api::RequestWeightTwoPhases(sensor), u"S, ,  3.50,kg,0");
  EXPECT_EQ(line.Writes().size(), 5u + 3u);
  EXPECT_EQ(sensor.Is1Value(), u"S, ,  3.50,kg,0");
}

TEST_F(PolledWeights, RequestOnAClosedLinkReturnsNothingAtOnce) {
  link().Close();
  for (auto run : {api::RequestWeight, api::RequestWeightTwoPhases}) {
    SensorErrors().clear();
    sensor.SetIs1Value(u"old");
    EXPECT_EQ(Timed([&] { return run(sensor); }), std::nullopt);
    EXPECT_LT(Took(), 20u);
    EXPECT_EQ(SensorErrors(), std::vector<int32_t>{THecrLink::ErrNotActive});
  }
  EXPECT_TRUE(line.Writes().empty());
}

} // namespace
} // namespace pondrex::test
