// The raw-write exports: the bytes each puts on the line, what it returns
// and how long it takes, on an open and on a closed link.
#include "RawWrites.h"
#include "OpenLinkFixture.h"

namespace pondrex::test {
namespace {

using api::TScaleKey;

class RawWrites : public OpenLinkFixture {};

TEST_F(RawWrites, EachExportWritesItsBytesAndReturnsAfterItsSettleTime) {
  struct Case {
    const char *name;
    std::function<int32_t(TPSensor &)> run;
    std::vector<Bytes> writes;
    int32_t result;
    uint32_t settleMs;
  };
  const Bytes pelqo1 = Text(std::string("\x01\x02PELQO PELQO PELQO\x03\x04"));
  const Bytes pelqo2 = Text(std::string("\x01\x02PELQO\x03\x04"));
  const Case cases[] = {
      {"protocol 1", [](TPSensor &s) { return api::ChangeProtocol(s, 1); }, {Text("<PB>\t")}, -1, 500},
      {"protocol 2", [](TPSensor &s) { return api::ChangeProtocol(s, 2); }, {Text("<ZQ>\t")}, -1, 500},
      {"protocol 3", [](TPSensor &s) { return api::ChangeProtocol(s, 3); }, {Text("<DB>\t")}, -1, 500},
      // Only the low 16 bits of the kind count.
      {"protocol 0x10002",
       [](TPSensor &s) { return api::ChangeProtocol(s, 0x10002); },
       {Text("<ZQ>\t")},
       -1,
       500},
      {"protocol 9", [](TPSensor &s) { return api::ChangeProtocol(s, 9); }, {}, -1, 500},
      {"pelqo 1", [](TPSensor &s) { return api::ChangePelqoProtocol(s, 1); }, {pelqo1}, -1, 500},
      {"pelqo 65537", [](TPSensor &s) { return api::ChangePelqoProtocol(s, 65537); }, {pelqo1}, -1, 500},
      {"pelqo 2", [](TPSensor &s) { return api::ChangePelqoProtocol(s, 2); }, {pelqo2}, -1, 500},
      {"pelqo 3", [](TPSensor &s) { return api::ChangePelqoProtocol(s, 3); }, {}, -1, 500},
      {"switch 1", [](TPSensor &s) { return api::SwitchProtocol(s, 1); }, {Text("SAVECURPROTOCOL")}, 0, 500},
      {"switch 2", [](TPSensor &s) { return api::SwitchProtocol(s, 2); }, {Text("DEFAULTPROTOCOL")}, 0, 500},
      {"switch 0", [](TPSensor &s) { return api::SwitchProtocol(s, 0); }, {}, 0, 500},
      {"identify", [](TPSensor &s) { return api::IdentifyHard(s); }, {Text("IDENTIFY HARD")}, 0, 0},
      {"key tare", [](TPSensor &s) { return api::KeyByte(s, TScaleKey::Tare); }, {{0xFE}}, -1, 500},
      {"key zero", [](TPSensor &s) { return api::KeyByte(s, TScaleKey::Zero); }, {{0xFD}}, -1, 500},
  };
  for (const Case &c : cases) {
    line.ClearEvents();
    EXPECT_EQ(Timed([&] { return c.run(sensor); }), c.result) << c.name;
    EXPECT_EQ(line.Writes(), c.writes) << c.name;
    EXPECT_EQ(Took(), c.settleMs) << c.name;
  }
  EXPECT_TRUE(SensorErrors().empty());
}

TEST_F(RawWrites, ClosedLinkWritesNothing) {
  link().Close();
  line.ClearEvents();
  // These test the link first and fail at once.
  EXPECT_EQ(Timed([&] { return api::ChangeProtocol(sensor, 1); }), 0);
  EXPECT_EQ(api::ChangePelqoProtocol(sensor, 1), 0);
  EXPECT_EQ(api::KeyByte(sensor, TScaleKey::Tare), 0);
  EXPECT_EQ(ElapsedTicks(started, platform.TickCount()), 0u);
  EXPECT_TRUE(SensorErrors().empty());
  // These leave it to the link, which reports that it is not active.
  EXPECT_EQ(api::SwitchProtocol(sensor, 1), 0);
  EXPECT_EQ(api::IdentifyHard(sensor), 0);
  EXPECT_EQ(api::KeyText(sensor, TScaleKey::Tare), 0);
  EXPECT_EQ(api::KeyPairTwice(sensor, TScaleKey::Zero), 1);
  EXPECT_EQ(SensorErrors(), (std::vector<int32_t>(5, THecrLink::ErrNotActive)));
  EXPECT_TRUE(line.Writes().empty());
}

TEST_F(RawWrites, KeyTextIsJudgedByTheFrameThatAnswersIt) {
  struct Case {
    TScaleKey key;
    Bytes request;
    Bytes answer; // empty: the scale stays silent
    int32_t result;
  };
  const Case cases[] = {
      {TScaleKey::Tare, Text("<TK>\t"), ScaleFrame(0x800E0000), 1},
      {TScaleKey::Zero, Text("<ZK>\t"), ScaleFrame(0x800E0000), 1},
      {TScaleKey::Tare, Text("<TK>\t"), ScaleFrame(0x800D0007), 0},
      {TScaleKey::Zero, Text("<ZK>\t"), {}, 0},
  };
  for (const Case &c : cases) {
    SensorErrors().clear();
    line.ClearEvents();
    Answer(c.request, c.answer, 20);
    // A refusal left from an earlier answer does not count.
    link().SetNAKFlag(true);
    EXPECT_EQ(Timed([&] { return api::KeyText(sensor, c.key); }), c.result);
    EXPECT_EQ(line.Writes(), std::vector<Bytes>{c.request});
    if (c.answer.empty()) {
      EXPECT_GT(Took(), 300u);
      EXPECT_LT(Took(), 302u);
    } else {
      EXPECT_LT(Took(), 30u);
    }
    EXPECT_EQ(SensorErrors(),
              c.result == 0 && !c.answer.empty() ? std::vector<int32_t>{7} : std::vector<int32_t>{});
  }
}

TEST_F(RawWrites, KeyPairIsWrittenTwiceWhetherOrNotTheScaleAnswers) {
  const Bytes tarePair = {0x01, 0xFE};
  EXPECT_EQ(Timed([&] { return api::KeyPairTwice(sensor, TScaleKey::Tare); }), 1);
  EXPECT_EQ(line.Writes(), (std::vector<Bytes>{tarePair, tarePair}));
  const std::vector<uint32_t> silent = WriteTimes();
  EXPECT_EQ(silent[0], 0u);
  EXPECT_GT(silent[1], 300u);
  EXPECT_LE(silent[1], 311u);

  line.ClearEvents();
  const Bytes zeroPair = {0x01, 0xFD};
  Answer(zeroPair, ScaleFrame(0x800D0003), 50);
  EXPECT_EQ(Timed([&] { return api::KeyPairTwice(sensor, TScaleKey::Zero); }), 1);
  EXPECT_EQ(line.Writes(), (std::vector<Bytes>{zeroPair, zeroPair}));
  EXPECT_GE(WriteTimes()[1], 50u);
  EXPECT_LE(WriteTimes()[1], 61u);
}

} // namespace
} // namespace pondrex::test
