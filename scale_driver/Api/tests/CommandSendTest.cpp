// The exports that send one command: the code each sends (with its argument
// in the low 16 bits), the data it carries, and how the answer is judged;
// the gravity adjustment and number downloads with their payloads; zero and
// tare as one raw byte.
#include "CommandSend.h"
#include "ScaleCommandFixture.h"
#include "TickCount.h"

#include <algorithm>

namespace pondrex::test {
namespace {

using namespace pondrex::api;

const TCommandExport *Row(std::string_view name) {
  for (const TCommandExport &row : CommandExports)
    if (row.Name == name)
      return &row;
  return nullptr;
}

// An argument slot with bits beyond the low 16, which no export may use.
constexpr uint32_t WideSlot = 0xFE1234A5;
constexpr uint32_t SmallSlot = 0x05;

struct TExpected {
  std::string_view name;
  uint32_t wideCode;  // sent for WideSlot
  uint32_t smallCode; // sent for SmallSlot
  Bytes data;         // the answer of a read, empty for an acknowledged command
  std::string call;   // what the read's answer gives the host
};

const Bytes Seal = {0x01, 0x02, 0x20, 0x24, 0x07, 0x31};
const Bytes OpBox = {1, 2, 3, 4, 5, 0x00, 0x01, 0x7E, 0x94};

const TExpected Expected[] = {
    {"Frequency", 0x8001A500, 0x80010500, {}, ""},
    {"Weight", 0x80020000, 0x80020000, MeasurementPayload(), MeasurementCall},
    {"Zero", 0x80030000, 0x80030000, {}, ""},
    {"Tare", 0x80040000, 0x80040000, {}, ""},
    {"Taref", 0x800534A5, 0x80050005, {}, ""},
    {"ZeroStudy", 0x90000000, 0x90000000, {}, ""},
    {"FullWeightStudy", 0x90010000, 0x90010000, {}, ""},
    {"FullWeightf", 0x9003A500, 0x90030500, {}, ""},
    {"PrecisionValue", 0x9004A500, 0x90040500, {}, ""},
    {"ClearTemperatureValue", 0x90050000, 0x90050000, {}, ""},
    {"TemperatureExpiation", 0x9006A500, 0x90060500, {}, ""},
    {"SetUnitValue", 0x8006A500, 0x80060500, {}, ""},
    {"LoginfactoryMode", 0x91100000, 0x91100000, {}, ""},
    {"LogoutfactoryMode", 0x91110000, 0x91110000, {}, ""},
    {"Getleadinfo", 0x91120000, 0x91120000, Seal, "LEADINFO 0102 2024 7 31"},
    {"GetleadinfoEx", 0x91130000, 0x91130000, Seal, "LEADINFO 0102 2024 7 31"},
    {"UnlockSafe", 0x91140000, 0x91140000, {}, ""},
    {"lockSafe", 0x91150000, 0x91150000, {}, ""},
    {"GetOpBoxInfo", 0x91160000, 0x91160000, OpBox, "OPBOXINFO 2 1 3 4 5 97940"},
    {"Rehab", 0x91170000, 0x91170000, {}, ""},
    {"study25weight", 0x90070000, 0x90070000, {}, ""},
    {"Clearparameter", 0x90080000, 0x90080000, {}, ""},
    {"LinearityStudy", 0x900B0000, 0x900B0000, {}, ""},
    {"GetOpBoxCountryCode", 0x91180000, 0x91180000, {86, 1}, "OPBOXCOUNTRYCODEINFO 86"},
    {"SetOpBoxCountryCode", 0x9119A500, 0x91190500, {}, ""},
    {"SetWindLevel", 0x800900A5, 0x80090005, {}, ""},
    {"ResetOrigin", 0x80070000, 0x80070000, {}, ""},
    {"ExitTare", 0x80080000, 0x80080000, {}, ""},
    {"__study13weight", 0x900E0000, 0x900E0000, {}, ""},
    {"__study23weight", 0x900F0000, 0x900F0000, {}, ""},
};

using Sends = std::vector<TSentFrame>;
using Texts = std::vector<std::string>;

class CommandSend : public ScaleCommandFixture {
protected:
  int32_t Send(const TCommandExport &row, uint32_t slot) {
    return SendCommandExport(sensor, row, slot, EcrId);
  }
};

TEST_F(CommandSend, EveryExportSendsItsCodeWithoutDataAndIsJudgedByItsAnswer) {
  ASSERT_EQ(std::size(Expected), std::size(CommandExports));
  for (const TExpected &e : Expected) {
    SCOPED_TRACE(std::string(e.name));
    const TCommandExport *row = Row(e.name);
    ASSERT_NE(row, nullptr);
    const bool read = !e.data.empty();
    // The reply kind agrees with how the command table says the scale
    // answers.
    EXPECT_EQ(link().GetHecrCommandFormID(row->CommandID)->Status(),
              read ? THecrLinkStatus::ifReceive : THecrLinkStatus::ifSend);

    // Taken: acknowledged, or answered with the command's own data.
    ClearSent();
    Calls().clear();
    On(e.wideCode, read ? WithData(e.data) : Ack());
    EXPECT_EQ(Send(*row, WideSlot), -1);
    EXPECT_EQ(Sent(), (Sends{{e.wideCode, 0, {}}}));
    EXPECT_EQ(Calls(), e.call.empty() ? Texts{} : Texts{e.call});
    EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);

    // Refused: the code goes to SENSORERR for a command; a refused read
    // delivers nothing.
    ClearSent();
    Calls().clear();
    On(e.wideCode, Refuse(7));
    EXPECT_EQ(Send(*row, SmallSlot), 0);
    EXPECT_EQ(Sent(), (Sends{{e.smallCode, 0, {}}}));
    EXPECT_EQ(Calls(), read ? Texts{} : Texts{"SENSORERR 7"});
    EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);

    // A read that gets only an acknowledgement has no data either.
    if (read) {
      Calls().clear();
      On(e.wideCode, Ack());
      EXPECT_EQ(Send(*row, 0), 0);
      EXPECT_EQ(Calls(), Texts{});
    }
  }
}

TEST_F(CommandSend, SilenceCostsEveryAttemptThenFails) {
  ClearSent();
  EXPECT_EQ(Send(*Row("Zero"), 0), 0);
  EXPECT_EQ(Sent().size(), 2u);
  EXPECT_EQ(Calls(), (Texts{"SENSORERR 50008", "SENSORERR 50008", "SENSORERR 50004"}));
}

TEST_F(CommandSend, ClosedLinkReportsNotActiveAndSendsNothing) {
  link().Close();
  ClearSent();
  EXPECT_EQ(Send(*Row("Frequency"), 0x12), 0);
  EXPECT_TRUE(line.Writes().empty());
  EXPECT_EQ(Calls(), Texts{"SENSORERR -1"});
}

TEST_F(CommandSend, GravityAdjustmentSendsTheElevenBytesOfTheRecord) {
  On(0x90020000, Ack());
  // The flag and the city IDs are the low bytes of their slots.
  EXPECT_EQ(Adjust(sensor, 0x101, 0x2A, 0x01020304, 0xFF07, 978, EcrId), -1);
  EXPECT_EQ(Sent(), (Sends{{0x90020000, 0, {1, 0x2A, 1, 2, 3, 4, 7, 0, 0, 0x03, 0xD2}}}));
  EXPECT_EQ(sensor.AdjustData1().BCityID(), 7);

  ClearSent();
  EXPECT_EQ(Adjust(sensor, 0, 9, 1, 9, 1, EcrId), -1);
  EXPECT_EQ(Sent(), (Sends{{0x90020000, 0, Bytes(11, 0)}}));

  // A value the record cannot carry: nothing is sent.
  ClearSent();
  EXPECT_EQ(Adjust(sensor, 1, 1, -5, 1, 1, EcrId), 0);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(CommandSend, NumberDownloadsFillTheirFieldWithTheTextsBytes) {
  On(0x80110000, Ack());
  On(0x80100000, Ack());
  Bytes abc(12, 0);
  std::copy_n("ABC", 3, abc.begin());
  const Bytes thirteen = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', '3'};
  const Bytes cut(thirteen.begin(), thirteen.begin() + 12);
  EXPECT_EQ(SetSensorNo(sensor, "ABC", EcrId), -1);
  EXPECT_EQ(SetScaleNo(sensor, "1234567890123", EcrId), -1);
  // Longer texts are cut to the field.
  EXPECT_EQ(SetSensorNo(sensor, "1234567890123", EcrId), -1);
  EXPECT_EQ(SetScaleNo(sensor, "12345678901234567", EcrId), -1);
  EXPECT_EQ(
      Sent(),
      (Sends{
          {0x80110000, 0, abc}, {0x80100000, 0, thirteen}, {0x80110000, 0, cut}, {0x80100000, 0, thirteen}}));
}

TEST_F(CommandSend, RawZeroAndTareWaitForAFrameThatIsNoRefusal) {
  struct Case {
    const char *name;
    Bytes answer;
    int32_t result;
    Texts calls;
  };
  const Case cases[] = {
      {"acknowledged", ScaleFrame(0x800E0000), -1, {}},
      {"refused", ScaleFrame(0x800D0003), 0, {"SENSORERR 3"}},
      {"silent", {}, 0, {}},
  };
  for (const uint8_t rawByte : {RawZeroByte, RawTareByte}) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(rawByte));
      Calls().clear();
      ClearSent();
      line.SetResponder([&c](TFakeSerialLine &l, const TWrittenBlock &) {
        if (!c.answer.empty())
          l.Send(c.answer, 5);
      });
      const uint32_t started = platform.TickCount();
      EXPECT_EQ(RawZeroOrTare(sensor, rawByte), c.result);
      const uint32_t took = ElapsedTicks(started, platform.TickCount());
      EXPECT_EQ(line.Writes(), std::vector<Bytes>{Bytes{rawByte}});
      EXPECT_EQ(Calls(), c.calls);
      // Without an answer the wait is 101 sleeps of 5 ms.
      if (c.answer.empty()) {
        EXPECT_GE(took, 505u);
        EXPECT_LT(took, 520u);
      } else {
        EXPECT_LT(took, 50u);
      }
    }
  }
  // A busy host's messages wake the passes of the wait but do not cut them
  // short: a silent scale still gets the whole wait.
  line.SetResponder(nullptr);
  for (uint32_t ms = 1; ms <= 600; ++ms)
    platform.Post([] {}, ms);
  const uint32_t started = platform.TickCount();
  EXPECT_EQ(RawZeroOrTare(sensor, RawZeroByte), 0);
  EXPECT_GE(ElapsedTicks(started, platform.TickCount()), 505u);

  link().Close();
  ClearSent();
  Calls().clear();
  EXPECT_EQ(RawZeroOrTare(sensor, RawZeroByte), 0);
  EXPECT_TRUE(line.Writes().empty());
  EXPECT_TRUE(Calls().empty());
}

} // namespace
} // namespace pondrex::test
