// The driver object on the fake platform: what reaches the host's callbacks
// (and the Java hook) for measurement frames, replies of each kind, weight
// frames and errors, the texts it stores, and the one-shot reply kind.
#include "TPSensor.h"
#include "PSensorGlobals.h"
#include "ScaleFrames.h"
#include "TFakePlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace pondrex {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Is1Frame;

const std::u16string EcrIdText = u"123456";

// What the callbacks received, one line per call, in order.
std::vector<std::string> calls;

std::string Format(const char *format, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

void PONDREX_STDCALL OnSensorErr(int32_t code) {
  calls.push_back(Format("SENSORERR %d", code));
}
void PONDREX_STDCALL OnSensorInfo(double net, double tare, double gross, int32_t mode, int32_t decimals,
                                  int32_t unit, int32_t oldAd, int32_t filterAd, int32_t zeroAd,
                                  int32_t weightAd, uint32_t flag) {
  calls.push_back(Format("SENSORINFO %g %g %g %d %d %d %d %d %d %d %u", net, tare, gross, mode, decimals,
                         unit, oldAd, filterAd, zeroAd, weightAd, flag));
}
void PONDREX_STDCALL OnOpBoxInfo(int32_t soft, int32_t hard, int32_t mainUnit, int32_t type,
                                 int32_t precision, int32_t gravity) {
  calls.push_back(Format("OPBOXINFO %d %d %d %d %d %d", soft, hard, mainUnit, type, precision, gravity));
}
void PONDREX_STDCALL OnLeadInfo(const char *version, int32_t year, int32_t month, int32_t day) {
  calls.push_back(Format("LEADINFO %s %d %d %d", version, year, month, day));
}
void PONDREX_STDCALL OnIs1Info(const char *status, const char *sign, const char *weight, const char *unit,
                               int32_t flag) {
  calls.push_back(Format("IS1INFO [%s][%s][%s][%s] %d", status, sign, weight, unit, flag));
}
void PONDREX_STDCALL OnRkvIs1Info(const char *status, const char *sign, const char *weight, const char *unit,
                                  const char *price, const char *total, const char *key,
                                  const char *weightSum, const char *tareSum, const char *originalAd,
                                  const char *weightAd, const char *tareAd, int32_t number, int32_t flag) {
  calls.push_back(Format("RKV_IS1INFO [%s][%s][%s][%s][%s][%s][%s][%s][%s][%s][%s][%s] %d %d", status, sign,
                         weight, unit, price, total, key, weightSum, tareSum, originalAd, weightAd, tareAd,
                         number, flag));
}
void PONDREX_STDCALL OnCountryCode(int32_t code) {
  calls.push_back(Format("OPBOXCOUNTRYCODEINFO %d", code));
}

// The 15 points in the order of the slots.
#define POINT(i) int32_t a##i, int32_t b##i, double c##i
#define SHOW(i) text += Format(" %d/%d/%g", a##i, b##i, c##i)
void PONDREX_STDCALL OnTemCompensate(int32_t para, int32_t flag, int32_t learned, POINT(0), POINT(1),
                                     POINT(2), POINT(3), POINT(4), POINT(5), POINT(6), POINT(7), POINT(8),
                                     POINT(9), POINT(10), POINT(11), POINT(12), POINT(13), POINT(14)) {
  std::string text = Format("TEMCOMPENSATEINFO %d %d %d", para, flag, learned);
  SHOW(0), SHOW(1), SHOW(2), SHOW(3), SHOW(4), SHOW(5), SHOW(6), SHOW(7), SHOW(8), SHOW(9), SHOW(10),
      SHOW(11), SHOW(12), SHOW(13), SHOW(14);
  calls.push_back(text);
}
#undef POINT
#undef SHOW

class RecordingJava : public TJavaCallbacks {
public:
  void Is1Info(const std::u16string &status, const std::u16string &sign, const std::u16string &weight,
               const std::u16string &unit, int32_t flag) override {
    const std::u16string all = status + u"][" + sign + u"][" + weight + u"][" + unit;
    calls.push_back("java IS1INFO [" + std::string(all.begin(), all.end()) + "] " + std::to_string(flag));
  }
  void SensorInfo(const TSensorInfoValues &v) override {
    calls.push_back(Format("java SENSORINFO %g %g %g %d %d %d %u", v.Net, v.Tare, v.Gross, v.Mode,
                           v.DecimalDigit, v.Unit, v.Flag));
  }
};

Bytes Frame(uint32_t code, const Bytes &data = {}) {
  return test::ScaleFrame(code, data);
}

const Bytes Measurement = test::MeasurementPayload();

class PSensorFixture : public ::testing::Test {
protected:
  PSensorFixture() {
    calls.clear();
    slots.SensorErrProc = &OnSensorErr;
    slots.SensorInfoProc = &OnSensorInfo;
    slots.OpBoxInfoProc = &OnOpBoxInfo;
    slots.LeadInfoProc = &OnLeadInfo;
    slots.Is1InfoProc = &OnIs1Info;
    slots.TemCompensateInfoProc = &OnTemCompensate;
    slots.OpBoxCountryCodeInfoProc = &OnCountryCode;
    link().SetCommname(u"COM3");
    link().SetBaudRate(9600);
    link().SetTimeOut(100);
    link().Open();
  }

  THecrLink &link() { return sensor.HecrLink1(); }
  // Bytes from the scale, taken by the next pump.
  void Arrive(const Bytes &bytes) {
    line.Send(bytes);
    platform.PumpMessages();
  }
  // The scale answers every frame written with this one.
  void AnswerWith(const Bytes &answer) {
    line.SetResponder([answer](TFakeSerialLine &l, const TWrittenBlock &) { l.Send(answer, 5); });
  }
  bool Read(TPSensorOption kind, int32_t id, int32_t packet = 0) {
    return sensor.SendExpecting(kind, link().GetHecrCommandFormID(id), {}, packet, 0, EcrIdText);
  }

  TFakePlatform platform;
  TFakeSerialLine &line = platform.Line(u"COM3");
  TLinkProcessFlags flags;
  TCallbackSlots slots;
  RecordingJava java;
  TPSensor sensor{platform, flags, slots};
};

TEST_F(PSensorFixture, MakesTheSharedCodecAndTheCommandTableAndFreesTheCodec) {
  EXPECT_NE(GlobalEncoding, nullptr);
  ASSERT_EQ(link().CmdList().Count(), 44);
  for (int32_t id : {1, 5, 27, 44})
    EXPECT_EQ(link().CmdList().GetItems(id - 1)->ID(), id);
  EXPECT_EQ(link().GetHecrCommandFormID(5)->Command(), 0x80040000u);
  EXPECT_EQ(link().GetHecrCommandFormID(42)->Command(), 0xA0030000u);
  {
    TFakePlatform other;
    TPSensor second(other, flags, slots);
  }
  EXPECT_EQ(GlobalEncoding, nullptr);
}

TEST_F(PSensorFixture, MeasurementFrameReachesSensorInfoThenJavaAndIsKeptAsText) {
  slots.Java = &java;
  Arrive(Frame(0x83000000, Measurement));
  EXPECT_EQ(calls, (std::vector<std::string>{"SENSORINFO 12.34 1 13.34 1 2 0 0 0 0 0 0",
                                             "java SENSORINFO 12.34 1 13.34 1 2 0 0"}));
  EXPECT_EQ(sensor.OpValue(), u"12.34,1,13.34,1,2,0,0");
  EXPECT_EQ(sensor.TareValue(), u"1");
}

TEST_F(PSensorFixture, MeasurementWithoutCallbacksStillUpdatesTheTexts) {
  slots = TCallbackSlots();
  Bytes adMode = {201, 127, 3, 0, 0, 0, 0, 5, 0, 1, 0, 2, 0, 3, 0, 4};
  Arrive(Frame(0x83000000, adMode));
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(sensor.OpValue(), u"5,0,0,127,0,3,201");
  EXPECT_EQ(sensor.ReceiveData().WeightAd(), 4);
}

TEST_F(PSensorFixture, MeasurementFrameIsAMeasurementWhateverReplyKindIsArmed) {
  sensor.SetMode(TPSensorOption::poLead);
  Arrive(Frame(0x83000000, Measurement));
  EXPECT_EQ(calls, std::vector<std::string>{"SENSORINFO 12.34 1 13.34 1 2 0 0 0 0 0 0"});
}

TEST_F(PSensorFixture, ReadWhoseReplyNeverCameLeavesNoReplyKindArmed) {
  link().SetRetrycnt(1);
  EXPECT_FALSE(Read(TPSensorOption::poLead, 19));
  EXPECT_EQ(calls, (std::vector<std::string>{"SENSORERR 50008", "SENSORERR 50004"}));
  EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);
  calls.clear();
  // The next status event, whatever it carries, is no longer taken for a
  // seal record.
  TPelqoEventArgs args;
  args.Buffer = Measurement;
  sensor.DoLinkStatus(args);
  EXPECT_EQ(calls, std::vector<std::string>{"SENSORINFO 12.34 1 13.34 1 2 0 0 0 0 0 0"});
}

TEST_F(PSensorFixture, RepliesAreDecodedByTheKindTheReadExpects) {
  struct Case {
    TPSensorOption kind;
    int32_t id;
    uint32_t code;
    Bytes data;
    std::string call;         // what the callbacks received, or ""
    std::u16string ecrIdCode; // EcrIdCode afterwards
  };
  const std::u16string before = u"before";
  const Case cases[] = {
      {TPSensorOption::poLead,
       19,
       0x91120000,
       {0x01, 0x02, 0x20, 0x24, 0x07, 0x31},
       "LEADINFO 0102 2024 7 31",
       before},
      {TPSensorOption::poLead, 20, 0x91130000, {0x01, 0x02, 0x20, 0x2A, 0x07, 0x31}, "", before},
      {TPSensorOption::poOPBox,
       23,
       0x91160000,
       {1, 2, 3, 4, 5, 0x00, 0x01, 0x7E, 0x94},
       "OPBOXINFO 2 1 3 4 5 97940",
       before},
      {TPSensorOption::poOPBox, 23, 0x91160000, {1, 2, 3, 4, 5, 0x00}, "", before},
      {TPSensorOption::poOpBoxCountryCode, 29, 0x91180000, {86, 1}, "OPBOXCOUNTRYCODEINFO 86", before},
      {TPSensorOption::poEcrID, 34, 0x50210000,
       Bytes{'9', '8', '7', '6', '5', '4', '3', '2', '1', '0', '1', '2', '3', '4', '5', '6'}, "",
       u"98765432101234"},
      {TPSensorOption::poEcrID, 34, 0x50210000, Bytes{'4', '2'}, "", u"42"},
      {TPSensorOption::poSensorNo, 40, 0x911C0000, Bytes(16, '7'), "", u"777777777777"},
      {TPSensorOption::poScaleNo, 41, 0x911B0000, Bytes(16, '8'), "", u"8888888888888"},
  };
  for (const Case &c : cases) {
    calls.clear();
    sensor.SetEcrIdCode(before);
    AnswerWith(Frame(c.code, c.data));
    EXPECT_TRUE(Read(c.kind, c.id)) << c.id;
    EXPECT_EQ(calls, c.call.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.call}) << c.id;
    EXPECT_EQ(sensor.EcrIdCode(), c.ecrIdCode) << c.id;
    EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull) << c.id;
  }
}

TEST_F(PSensorFixture, ReplyOfAKindWithoutItsCallbackIsNotDecoded) {
  slots.LeadInfoProc = nullptr;
  AnswerWith(Frame(0x91120000, {0x01, 0x02, 0x20, 0x24, 0x07, 0x31}));
  EXPECT_TRUE(Read(TPSensorOption::poLead, 19));
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(sensor.Lead1().Year(), 0);
}

TEST_F(PSensorFixture, TemperatureTableGoesOutIn63Slots) {
  TPelqoEventArgs args;
  args.TmpBuffer.assign(128, 0);
  args.TmpBuffer[0] = 1;
  args.TmpBuffer[1] = 15;
  for (size_t i = 0; i < 15; ++i) {
    const size_t at = 8 + 8 * i;
    args.TmpBuffer[at + 1] = static_cast<uint8_t>(i + 1); // Value1 = i + 1
    args.TmpBuffer[at + 2] = 0xFF;                        // Value2 = -(i + 1)
    args.TmpBuffer[at + 3] = static_cast<uint8_t>(0x100 - (i + 1));
    args.TmpBuffer[at + 6] = static_cast<uint8_t>((50 * i) >> 8); // Value3 = i / 2
    args.TmpBuffer[at + 7] = static_cast<uint8_t>(50 * i);
  }
  // The frame checker's byte 8 of the last checked frame rides in front.
  std::vector<uint8_t> data;
  int32_t offset = 0;
  ASSERT_TRUE(link().Checker().CheckData(Frame(0x8300002A, {}), data, offset));
  link().Checker().SetLinkStatus(THecrLinkStatus::ifReceive);
  args.htc1 = &link().Checker();
  sensor.SetMode(TPSensorOption::poTemperaturecompensate);
  sensor.DoLinkStatus(args);
  std::string expected = "TEMCOMPENSATEINFO 42 1 15";
  for (int i = 0; i < 15; ++i)
    expected += Format(" %d/%d/%g", i + 1, -(i + 1), i / 2.0);
  EXPECT_EQ(calls, std::vector<std::string>{expected});
  EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);
}

TEST_F(PSensorFixture, WindLevelIsReadFromTheCollectedPackets) {
  const std::pair<uint8_t, std::u16string> cases[] = {{7, u"7"}, {200, u"-1"}};
  for (const auto &[level, text] : cases) {
    TPelqoEventArgs args;
    args.Buffer = Bytes(40, 9);
    args.TmpBuffer[35] = level;
    sensor.SetMode(TPSensorOption::poWind);
    sensor.DoLinkStatus(args);
    EXPECT_EQ(sensor.EcrIdCode(), text);
  }
}

TEST_F(PSensorFixture, AdReplyNeedsItsSixBytes) {
  TPelqoEventArgs args;
  args.Buffer = {0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0xEE};
  sensor.SetMode(TPSensorOption::poGetAD);
  sensor.DoLinkStatus(args);
  EXPECT_EQ(sensor.AD(), 0x10002);
  EXPECT_EQ(sensor.AdPayloadLast(), 6);

  args.Buffer = {0x00, 0x05};
  sensor.SetMode(TPSensorOption::poGetAD);
  sensor.DoLinkStatus(args);
  EXPECT_EQ(sensor.AD(), 0x10002);
  EXPECT_EQ(sensor.AdPayload(), args.Buffer);
}

TEST_F(PSensorFixture, WeightFrameIsKeptAsTextAndReachesBothIs1CallbacksThenJava) {
  slots.RkvIs1InfoProc = &OnRkvIs1Info;
  slots.Java = &java;
  sensor.SetTareValue(u"0.5");
  Arrive(Is1Frame('S', '-', "  1.25", "kg", 0x31));
  EXPECT_EQ(sensor.Is1Value(), u"S,-,  1.25,kg,49");
  EXPECT_EQ(calls, (std::vector<std::string>{"IS1INFO [S][-][  1.25][kg] 49",
                                             "RKV_IS1INFO [S][-][  1.25][kg][][][][0][0][][][] 0 49",
                                             "java IS1INFO [S][-][  1.25][kg] 49"}));
  // The frame carries no tare text.
  EXPECT_EQ(sensor.TareValue(), u"0.5");
  EXPECT_FALSE(sensor.Wf7flg());
}

TEST_F(PSensorFixture, RefusalWhileNothingWaitsReachesSensorErr) {
  Arrive(Frame(0x800D0005));
  EXPECT_EQ(calls, std::vector<std::string>{"SENSORERR 5"});
  slots.SensorErrProc = nullptr;
  calls.clear();
  Arrive(Frame(0x800D0006));
  EXPECT_TRUE(calls.empty());
}

} // namespace
} // namespace pondrex
