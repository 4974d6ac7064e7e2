// The exports that hand data back: identity texts kept for the host, the
// caller's buffers (written no further than promised, untouched on
// failure), the wind level from its two packets and the tare read.
#include "ScaleReads.h"
#include "ScaleCommandFixture.h"

#include <array>
#include <cstring>
#include <memory>

namespace pondrex::test {
namespace {

using namespace pondrex::api;

using Sends = std::vector<TSentFrame>;
using Texts = std::vector<std::string>;

constexpr char Guard = '\x5A';

// A caller's buffer with guard bytes behind the room that an export may use.
template <size_t Room> struct TGuardedBuffer {
  std::array<char, Room + 8> bytes;
  TGuardedBuffer() { bytes.fill(Guard); }
  char *data() { return bytes.data(); }
  std::string text() const { return std::string(bytes.data(), strnlen(bytes.data(), Room)); }
  bool untouched() const {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == Guard; });
  }
  bool guardsKept() const {
    return std::all_of(bytes.begin() + Room, bytes.end(), [](char c) { return c == Guard; });
  }
};

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
  TGuardedBuffer<SensorNoBufferRoom> sensorNo;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::SensorNo, EcrId, sensorNo.data()), -1);
  EXPECT_EQ(sensorNo.text(), "SN0123456789");
  EXPECT_TRUE(sensorNo.guardsKept());

  On(0x911B0000, WithData(Ascii("TQ90123456789", 16)));
  TGuardedBuffer<ScaleNoBufferRoom> scaleNo;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::ScaleNo, EcrId, scaleNo.data()), -1);
  EXPECT_EQ(scaleNo.text(), "TQ90123456789");
  EXPECT_TRUE(scaleNo.guardsKept());

  // The command succeeded with an empty number: one zero byte.
  On(0x911C0000, WithData(Bytes(12, 0)));
  TGuardedBuffer<SensorNoBufferRoom> empty;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::SensorNo, EcrId, empty.data()), -1);
  EXPECT_EQ(empty.bytes[0], '\0');
  EXPECT_EQ(empty.bytes[1], Guard);

  On(0x911C0000, Refuse(5));
  TGuardedBuffer<SensorNoBufferRoom> refused;
  EXPECT_EQ(ReadIdentityInto(sensor, TIdentity::SensorNo, EcrId, refused.data()), 0);
  EXPECT_TRUE(refused.untouched());
}

TEST_F(ScaleReads, WindLevelComesFromTheSecondPacketOfItsRead) {
  // The level is the fourth data byte of the second packet.
  On(0xA0030000, {WithData({1, 2, 3, 4}), WithData({0, 0, 0, 7, 9})});
  TGuardedBuffer<WindLevelBufferRoom> level;
  EXPECT_EQ(ReadWindLevel(sensor, EcrId, level.data()), -1);
  EXPECT_EQ(level.text(), "7");
  EXPECT_TRUE(level.guardsKept());
  EXPECT_EQ(Sent(), (Sends{{0xA0030000, 0, {}}, {0xA0030100, 1, {}}}));

  // A failed first packet: the second is not sent, the buffer not touched.
  ClearSent();
  On(0xA0030000, Refuse(2));
  TGuardedBuffer<WindLevelBufferRoom> refused;
  EXPECT_EQ(ReadWindLevel(sensor, EcrId, refused.data()), 0);
  EXPECT_TRUE(refused.untouched());
  EXPECT_EQ(Sent(), (Sends{{0xA0030000, 0, {}}}));
  EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);
}

TEST_F(ScaleReads, TareReadHandsOutTheDriversTareText) {
  On(0x80020000, WithData(Measurement));
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
  On(0x80020000, WithData(Measurement));
  TGuardedBuffer<TareBufferRoom> read;
  EXPECT_EQ(ReadTareInto(sensor, EcrId, read.data()), -1);
  EXPECT_EQ(read.text(), "1");
  EXPECT_EQ(Sent().size(), 1u);

  On(0x80020000, Refuse(4));
  TGuardedBuffer<TareBufferRoom> refused;
  EXPECT_EQ(ReadTareInto(sensor, EcrId, refused.data()), 0);
  EXPECT_TRUE(refused.untouched());

  // A tare of a weight frame: nothing is sent. A text longer than the
  // promised room is cut to it.
  ClearSent();
  sensor.SetWf7flg(true);
  sensor.SetTareValue(std::u16string(40, u'9'));
  TGuardedBuffer<TareBufferRoom> kept;
  EXPECT_EQ(ReadTareInto(sensor, EcrId, kept.data()), -1);
  EXPECT_EQ(kept.text(), std::string(TareBufferRoom - 1, '9'));
  EXPECT_TRUE(kept.guardsKept());
  EXPECT_TRUE(Sent().empty());
}

} // namespace
} // namespace pondrex::test
