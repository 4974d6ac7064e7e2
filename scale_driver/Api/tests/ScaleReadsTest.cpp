// The exports that hand data back: identity texts kept for the host, the
// caller's buffers (written no further than promised, untouched on
// failure), the wind level from its two packets and the tare read.
#include "ScaleReads.h"
#include "GuardedBuffers.h"
#include "ScaleCommandFixture.h"

#include <memory>

namespace pondrex::test {
namespace {

using namespace pondrex::api;

using Sends = std::vector<TSentFrame>;
using Texts = std::vector<std::string>;

Bytes Ascii(const std::string &text, size_t field) {
  Bytes bytes(text.begin(), text.end());
  bytes.resize(field, 0);
  return bytes;
}

class ScaleReads : public ScaleCommandFixture {
protected:
  // Texts from memory that the test owns, as the library's comes from memory
  // that nobody frees.
  TLifetimeTexts texts{
      [this](size_t bytes) { return memory.emplace_back(std::make_unique<char[]>(bytes)).get(); }};
  std::vector<std::unique_ptr<char[]>> memory;
};

TEST_F(ScaleReads, IdentityReadsHandOutTheWholeFieldAsAKeptText) {
  struct Case {
    TIdentity identity;
    uint32_t code;
    Bytes answer;
    const char *text;
  };
  const Case cases[] = {
      {TIdentity::EcrId, 0x50210000, Ascii("98765432101234", 16), "98765432101234"},
      {TIdentity::SensorNo, 0x911C0000, Ascii("SN0123456789", 14), "SN0123456789"},
      {TIdentity::ScaleNo, 0x911B0000, Ascii("TQ12345", 13), "TQ12345"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    On(c.code, WithData(c.answer));
    ClearSent();
    const char *first = nullptr;
    EXPECT_EQ(ReadIdentity(sensor, c.identity, EcrId, texts, &first), -1);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, c.text);
    EXPECT_EQ(Sent(), (Sends{{c.code, 0, {}}}));
    // A later read does not disturb a text handed out before.
    const char *second = nullptr;
    EXPECT_EQ(ReadIdentity(sensor, c.identity, EcrId, texts, &second), -1);
    EXPECT_STREQ(first, c.text);
    EXPECT_STREQ(second, c.text);
  }
  // Equal texts share their copy; each different one is kept once.
  EXPECT_EQ(texts.Count(), 3u);
}

TEST_F(ScaleReads, IdentityReadThatBringsNoTextHandsOutNull) {
  struct Case {
    const char *name;
    TReply reply;
    Texts calls;
  };
  const Case cases[] = {
      // A refusal is no number: it must not be decoded as one.
      {"refused", Refuse(0x0D), {}},
      {"acknowledged", Ack(), {}},
      {"empty field", WithData(Bytes(12, 0)), {}},
      {"silent", Silent(), {"SENSORERR 50008", "SENSORERR 50008", "SENSORERR 50004"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Calls().clear();
    sensor.SetEcrIdCode(u"earlier");
    On(0x911C0000, c.reply);
    const char *text = "not written";
    EXPECT_EQ(ReadIdentity(sensor, TIdentity::SensorNo, EcrId, texts, &text), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);
  }
  link().Close();
  const char *text = "not written";
  EXPECT_EQ(ReadIdentity(sensor, TIdentity::ScaleNo, EcrId, texts, &text), 0);
  EXPECT_EQ(text, nullptr);
}

TEST_F(ScaleReads, BufferFormsWriteTheNumberAndNoMoreOrNothingOnFailure) {
  On(0x911C0000, WithData(Ascii("SN0123456789", 16)));
  TGuardedBuffers<SensorNoBufferRoom> sensorNo;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::SensorNo, EcrId, sensorNo.Data()), -1);
  EXPECT_EQ(sensorNo.Text(), "SN0123456789");
  EXPECT_TRUE(sensorNo.GuardsKept());

  On(0x911B0000, WithData(Ascii("TQ90123456789", 16)));
  TGuardedBuffers<ScaleNoBufferRoom> scaleNo;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::ScaleNo, EcrId, scaleNo.Data()), -1);
  EXPECT_EQ(scaleNo.Text(), "TQ90123456789");
  EXPECT_TRUE(scaleNo.GuardsKept());

  // The command succeeded with an empty number: one zero byte.
  On(0x911C0000, WithData(Bytes(12, 0)));
  TGuardedBuffers<SensorNoBufferRoom> empty;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::SensorNo, EcrId, empty.Data()), -1);
  EXPECT_EQ(empty.Text(), "");
  EXPECT_TRUE(empty.UntouchedFrom(1));

  On(0x911C0000, Refuse(5));
  TGuardedBuffers<SensorNoBufferRoom> refused;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::SensorNo, EcrId, refused.Data()), 0);
  EXPECT_TRUE(refused.UntouchedFrom(0));
}

TEST_F(ScaleReads, WindLevelComesFromTheSecondPacketOfItsRead) {
  // The level is the fourth data byte of the second packet.
  On(0xA0030000, {WithData({1, 2, 3, 4}), WithData({0, 0, 0, 7, 9})});
  TGuardedBuffers<WindLevelBufferRoom> level;
  EXPECT_EQ(ReadWindLevel(sensor, EcrId, level.Data()), -1);
  EXPECT_EQ(level.Text(), "7");
  EXPECT_TRUE(level.GuardsKept());
  EXPECT_EQ(Sent(), (Sends{{0xA0030000, 0, {}}, {0xA0030100, 1, {}}}));

  // A failed first packet: the second is not sent, the buffer not touched.
  ClearSent();
  On(0xA0030000, Refuse(2));
  TGuardedBuffers<WindLevelBufferRoom> refused;
  EXPECT_EQ(ReadWindLevel(sensor, EcrId, refused.Data()), 0);
  EXPECT_TRUE(refused.UntouchedFrom(0));
  EXPECT_EQ(Sent(), (Sends{{0xA0030000, 0, {}}}));
  EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);
}

TEST_F(ScaleReads, TareReadHandsOutTheDriversTareText) {
  On(0x80020000, WithData(MeasurementPayload()));
  const char16_t *tare = nullptr;
  EXPECT_EQ(ReadTare(sensor, EcrId, &tare), -1);
  EXPECT_EQ(tare, sensor.TareValue().c_str());
  EXPECT_EQ(sensor.TareValue(), u"1");

  // A refused read decodes nothing, and still hands out the current tare.
  Calls().clear();
  sensor.SetTareValue(u"2.5");
  On(0x80020000, Refuse(4));
  EXPECT_EQ(ReadTare(sensor, EcrId, &tare), 0);
  EXPECT_EQ(std::u16string(tare), u"2.5");
  EXPECT_TRUE(Calls().empty());

  sensor.SetTareValue(u"");
  EXPECT_EQ(ReadTare(sensor, EcrId, &tare), 0);
  EXPECT_EQ(tare, nullptr);
}

TEST_F(ScaleReads, TareIntoABufferIsReadUnlessAWeightFrameBroughtOne) {
  On(0x80020000, WithData(MeasurementPayload()));
  TGuardedBuffers<TareBufferRoom> read;
  EXPECT_EQ(ReadTareInto(sensor, EcrId, read.Data()), -1);
  EXPECT_EQ(read.Text(), "1");
  EXPECT_EQ(Sent().size(), 1u);

  On(0x80020000, Refuse(4));
  TGuardedBuffers<TareBufferRoom> refused;
  EXPECT_EQ(ReadTareInto(sensor, EcrId, refused.Data()), 0);
  EXPECT_TRUE(refused.UntouchedFrom(0));

  // A tare of a weight frame: nothing is sent. A text longer than the
  // promised room is cut to it.
  ClearSent();
  sensor.SetWf7flg(true);
  sensor.SetTareValue(std::u16string(40, u'9'));
  TGuardedBuffers<TareBufferRoom> kept;
  EXPECT_EQ(ReadTareInto(sensor, EcrId, kept.Data()), -1);
  EXPECT_EQ(kept.Text(), std::string(TareBufferRoom - 1, '9'));
  EXPECT_TRUE(kept.GuardsKept());
  EXPECT_TRUE(Sent().empty());
}

} // namespace
} // namespace pondrex::test
