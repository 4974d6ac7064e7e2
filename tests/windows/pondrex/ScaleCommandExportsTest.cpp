// Pondrex.dll's scale-command exports against the simulated scale, as a host
// program calls them: bound by name, called as stdcall through the probe,
// with the host's own buffers between guard bytes. What the scale received
// is compared byte for byte with the frame that the scale itself builds for
// the expected code and data (ECR ID, header sum and CRC included).
#include "GuardedBuffers.h"
#include "HostCallbacks.h"
#include "PeerClient.h"
#include "Pondrex.h"
#include "PondrexExports.h"
#include "ScaleFrames.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using pondrex::test::TGuardedBuffers;
using pos::test::hostCallbackCalls;
using pos::test::HostCallbackSlots;
using pos::test::hostCallbackTexts;
using pos::test::LoadedModule;
using pos::test::PondrexExports;
using pos::test::ScaleClient;
using pos::test::ScaleLogEntry;
using pos::test::ScaleReply;
using pos::test::slotOf;
using pos::test::toHex;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

const char *const EcrId = "123456";
const Bytes Measurement = pondrex::test::MeasurementPayload();
const char *const MeasurementText =
    "SENSORINFO net=12.34 tare=1 gross=13.34 mode=1 decimals=2 unit=0 oldAd=0 "
    "filterAd=0 zeroAd=0 weightAd=0 flag=0";
const Bytes Seal = {0x01, 0x02, 0x20, 0x24, 0x07, 0x31};
const char *const SealText = "LEADINFO version=0102 year=2024 month=7 day=31";
const Bytes OpBox = {1, 2, 3, 4, 5, 0x00, 0x01, 0x7E, 0x94};
const Texts Silence = {"SENSORERR code=50008", "SENSORERR code=50008", "SENSORERR code=50004"};

Bytes ascii(const std::string &text, size_t size) {
  Bytes bytes(text.begin(), text.end());
  bytes.resize(size, 0);
  return bytes;
}

// One command export: its argument slots before the ECR ID, the code it
// sends for them, its data, and for a read the answer's data and what the
// host's callbacks receive from it.
struct CommandCase {
  std::string name;
  std::vector<uint32_t> slots;
  uint32_t code;
  Bytes data;
  Bytes answer; // empty: the scale acknowledges
  const char *callback;
};

// Slots with bits beyond the low 8 or 16, which no export may use.
const std::vector<uint32_t> Byte12 = {0x7F0012};
const std::vector<uint32_t> Word = {0xFF1234};
const char *const Sensor = "ABC";
const char *const LongScale = "12345678901234567";

std::vector<CommandCase> commandCases() {
  const std::vector<CommandCase> pairs = {
      {"Frequency", Byte12, 0x80011200, {}, {}, nullptr},
      {"Weight", {}, 0x80020000, {}, Measurement, MeasurementText},
      {"Taref", Word, 0x80051234, {}, {}, nullptr},
      {"ZeroStudy", {}, 0x90000000, {}, {}, nullptr},
      {"FullWeightStudy", {}, 0x90010000, {}, {}, nullptr},
      {"Adjust",
       {0x101, 0x22, 0x01020304, 0x133, 978},
       0x90020000,
       {0x01, 0x22, 0x01, 0x02, 0x03, 0x04, 0x33, 0x00, 0x00, 0x03, 0xD2},
       {},
       nullptr},
      {"FullWeightf", Byte12, 0x90031200, {}, {}, nullptr},
      {"PrecisionValue", Byte12, 0x90041200, {}, {}, nullptr},
      {"ClearTemperatureValue", {}, 0x90050000, {}, {}, nullptr},
      {"TemperatureExpiation", Byte12, 0x90061200, {}, {}, nullptr},
      {"SetUnitValue", Byte12, 0x80061200, {}, {}, nullptr},
      {"LoginfactoryMode", {}, 0x91100000, {}, {}, nullptr},
      {"LogoutfactoryMode", {}, 0x91110000, {}, {}, nullptr},
      {"Getleadinfo", {}, 0x91120000, {}, Seal, SealText},
      {"GetleadinfoEx", {}, 0x91130000, {}, Seal, SealText},
      {"UnlockSafe", {}, 0x91140000, {}, {}, nullptr},
      {"lockSafe", {}, 0x91150000, {}, {}, nullptr},
      {"GetOpBoxInfo",
       {},
       0x91160000,
       {},
       OpBox,
       "OPBOXINFO softflag=2 hardware=1 mainunit=3 scaletype=4 precision=5 gravity=97940"},
      {"Rehab", {}, 0x91170000, {}, {}, nullptr},
      {"study25weight", {}, 0x90070000, {}, {}, nullptr},
      {"Clearparameter", {}, 0x90080000, {}, {}, nullptr},
      {"LinearityStudy", {}, 0x900B0000, {}, {}, nullptr},
      {"GetOpBoxCountryCode", {}, 0x91180000, {}, {86, 1}, "OPBOXCOUNTRYCODEINFO code=86"},
      {"SetOpBoxCountryCode", Byte12, 0x91191200, {}, {}, nullptr},
      {"SetWindLevel", Byte12, 0x80090012, {}, {}, nullptr},
      {"ResetOrigin", {}, 0x80070000, {}, {}, nullptr},
      {"ExitTare", {}, 0x80080000, {}, {}, nullptr},
      {"SetSensorNo", {slotOf(Sensor)}, 0x80110000, ascii("ABC", 12), {}, nullptr},
      {"SetScaleNo", {slotOf(LongScale)}, 0x80100000, ascii("1234567890123", 13), {}, nullptr},
  };
  std::vector<CommandCase> cases;
  for (const CommandCase &c : pairs) {
    cases.push_back(c);
  }
  // The second name of each pair; __Zero and __Tare are other exports.
  for (CommandCase twin : pairs) {
    twin.name = "__" + twin.name;
    cases.push_back(twin);
  }
  cases.push_back({"Zero", {}, 0x80030000, {}, {}, nullptr});
  cases.push_back({"Tare", {}, 0x80040000, {}, {}, nullptr});
  cases.push_back({"__study13weight", {}, 0x900E0000, {}, {}, nullptr});
  cases.push_back({"__study23weight", {}, 0x900F0000, {}, {}, nullptr});
  return cases;
}

class PondrexScaleCommands : public ::testing::Test {
protected:
  void SetUp() override {
    hostCallbackCalls().clear();
    scale_.reset();
    scale_.setId(123456);
    scale_.is1Text('S', ' ', "  0.00", "kg");
    dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
    ASSERT_TRUE(dll_->loaded()) << "LoadLibraryW(Pondrex.dll) failed, error " << dll_->loadError();
    pondrex_ = std::make_unique<PondrexExports>(*dll_);
    // Two attempts of 100 ms, so that silence costs little.
    const HostCallbackSlots cb = pos::test::hostCallbackSlots();
    pondrex_->call("Config", {2, 100, 0, cb.sensorErr, cb.sensorInfo, cb.opBoxInfo, cb.leadInfo, cb.is1Info,
                              cb.temCompensateInfo});
    pondrex_->call("SetCallBackFunc",
                   {slotOf("OPBOXCOUNTRYCODEINFO"), pos::test::opBoxCountryCodeInfoSlot()});
    ASSERT_EQ(pondrex_->result("__Open", {slotOf(port_.c_str()), 9600}), -1);
    scale_.log(1, 3000); // the weight request
    reset();
  }
  void TearDown() override {
    pondrex_->result("CloseDevice");
    EXPECT_EQ(pondrex_->faults(), Texts{});
    pondrex_.reset();
    dll_.reset();
  }

  // Empties the scale's log and the calls recorded.
  void reset() {
    scale_.clear();
    hostCallbackCalls().clear();
  }
  // Calls name with slots and the ECR ID last.
  int32_t command(const char *name, std::vector<uint32_t> slots) {
    slots.push_back(slotOf(EcrId));
    return callSlots(name, slots);
  }
  int32_t callSlots(const char *name, const std::vector<uint32_t> &slots) {
    switch (slots.size()) {
    case 1:
      return pondrex_->result(name, {slots[0]});
    case 2:
      return pondrex_->result(name, {slots[0], slots[1]});
    case 6:
      return pondrex_->result(name, {slots[0], slots[1], slots[2], slots[3], slots[4], slots[5]});
    }
    ADD_FAILURE() << name << ": no call with " << slots.size() << " slots";
    return 0;
  }
  // The frames the scale received, as hex, after waiting for count of them.
  std::vector<std::string> received(size_t count) {
    std::vector<std::string> frames;
    for (const ScaleLogEntry &entry : scale_.log(count, 2000)) {
      frames.push_back(entry.kind + " " + toHex(entry.bytes));
    }
    return frames;
  }
  std::string frame(uint32_t code, const Bytes &data = {}, uint8_t packet = 0) {
    return "frame " + toHex(scale_.frame(code, data, packet));
  }

  ScaleClient scale_;
  std::string port_ = ScaleClient::comPort();
  std::unique_ptr<LoadedModule> dll_;
  std::unique_ptr<PondrexExports> pondrex_;
};

TEST_F(PondrexScaleCommands, EveryCommandExportSendsItsFrameAndReportsTakenRefusedAndSilent) {
  for (const CommandCase &c : commandCases()) {
    SCOPED_TRACE(c.name);
    const bool read = !c.answer.empty();
    const std::string expected = frame(c.code, c.data);

    reset();
    scale_.on(c.code, read ? ScaleReply::withData(c.answer) : ScaleReply::ack());
    EXPECT_EQ(command(c.name.c_str(), c.slots), -1);
    EXPECT_EQ(received(1), Texts{expected});
    EXPECT_EQ(hostCallbackTexts(), read ? Texts{c.callback} : Texts{});

    // A refused command reports the scale's code; a refused read delivers
    // nothing at all.
    reset();
    scale_.on(c.code, ScaleReply::refuse(0x0007));
    EXPECT_EQ(command(c.name.c_str(), c.slots), 0);
    EXPECT_EQ(received(1), Texts{expected});
    EXPECT_EQ(hostCallbackTexts(), read ? Texts{} : Texts{"SENSORERR code=7"});

    reset();
    scale_.on(c.code, ScaleReply::silent());
    EXPECT_EQ(command(c.name.c_str(), c.slots), 0);
    EXPECT_EQ(received(2), (Texts{expected, expected}));
    EXPECT_EQ(hostCallbackTexts(), Silence);
  }
}

TEST_F(PondrexScaleCommands, RawZeroAndTareWriteOneByteAndWaitForTheScalesFrame) {
  for (const auto &[name, rawByte] : {std::pair<const char *, uint8_t>{"__Zero", 0xFD}, {"__Tare", 0xFE}}) {
    SCOPED_TRACE(name);
    reset();
    scale_.reply({rawByte}, scale_.frame(0x800E0000));
    EXPECT_EQ(pondrex_->result(name, {0xDEADBEEF}), -1);
    EXPECT_EQ(received(1), Texts{"raw " + toHex({rawByte})});

    reset();
    scale_.reply({rawByte}, scale_.frame(0x800D0009));
    EXPECT_EQ(pondrex_->result(name, {0}), 0);
    EXPECT_EQ(hostCallbackTexts(), Texts{"SENSORERR code=9"});

    reset();
    scale_.noReply({rawByte});
    const DWORD started = GetTickCount();
    EXPECT_EQ(pondrex_->result(name, {0}), 0);
    EXPECT_GE(GetTickCount() - started, 450u);
    EXPECT_TRUE(hostCallbackTexts().empty());
  }
  // A closed link: nothing written, nothing reported.
  pondrex_->result("CloseDevice");
  reset();
  EXPECT_EQ(pondrex_->result("__Zero", {0}), 0);
  Sleep(200);
  EXPECT_TRUE(scale_.log().empty());
  EXPECT_TRUE(hostCallbackTexts().empty());
}

TEST_F(PondrexScaleCommands, IdentityReadsHandOutWhatTheScaleAnswered) {
  struct Case {
    const char *name;
    uint32_t code;
    Bytes answer;
    std::string text;
  };
  const Case cases[] = {
      {"GetEcrId", 0x50210000, ascii("98765432101234", 16), "98765432101234"},
      {"__GetEcrId", 0x50210000, ascii("42", 14), "42"},
      {"GetSensorNo", 0x911C0000, ascii("SN0123456789", 14), "SN0123456789"},
      {"GetScaleNo", 0x911B0000, ascii("TQ90123456789", 13), "TQ90123456789"},
  };
  std::vector<std::pair<const char *, std::string>> handedOut;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    scale_.on(c.code, ScaleReply::withData(c.answer));
    const char *text = nullptr;
    EXPECT_EQ(pondrex_->result(c.name, {slotOf(EcrId), slotOf(&text)}), -1);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), c.text);
    // The ECR ID read goes out with the start byte 0xAA.
    EXPECT_EQ(received(1), Texts{frame(c.code)});
    handedOut.emplace_back(text, c.text);

    // A refusal is no text.
    scale_.on(c.code, ScaleReply::refuse(0x000D));
    text = "not written";
    EXPECT_EQ(pondrex_->result(c.name, {slotOf(EcrId), slotOf(&text)}), 0);
    EXPECT_EQ(text, nullptr);
  }
  // Every text handed out is still there.
  for (const auto &[text, expected] : handedOut) {
    EXPECT_EQ(std::string(text), expected);
  }
}

TEST_F(PondrexScaleCommands, NumberBuffersGetTheNumberAndNothingBeyondOrNothingOnFailure) {
  scale_.on(0x911C0000, ScaleReply::withData(ascii("SN0123456789", 16)));
  TGuardedBuffers<PONDREX_SENSOR_NO_BUFFER_SIZE> sensorNo;
  EXPECT_EQ(pondrex_->result("__GetSensorNo", {slotOf(EcrId), slotOf(sensorNo.Data())}), -1);
  EXPECT_EQ(sensorNo.Text(), "SN0123456789");
  EXPECT_TRUE(sensorNo.GuardsKept());

  scale_.on(0x911B0000, ScaleReply::withData(ascii("TQ90123456789", 16)));
  TGuardedBuffers<PONDREX_SCALE_NO_BUFFER_SIZE> scaleNo;
  EXPECT_EQ(pondrex_->result("__GetScaleNo", {slotOf(EcrId), slotOf(scaleNo.Data())}), -1);
  EXPECT_EQ(scaleNo.Text(), "TQ90123456789");
  EXPECT_TRUE(scaleNo.GuardsKept());

  scale_.on(0x911C0000, ScaleReply::refuse(0x0005));
  TGuardedBuffers<PONDREX_SENSOR_NO_BUFFER_SIZE> refused;
  EXPECT_EQ(pondrex_->result("__GetSensorNo", {slotOf(EcrId), slotOf(refused.Data())}), 0);
  EXPECT_EQ(refused.Text(), "untouched");
  EXPECT_TRUE(refused.GuardsKept());
}

TEST_F(PondrexScaleCommands, WindLevelIsReadInTwoPackets) {
  scale_.on(0xA0030000, {ScaleReply::withData({1, 2, 3, 4}), ScaleReply::withData({0, 0, 0, 7})});
  TGuardedBuffers<PONDREX_WIND_LEVEL_BUFFER_SIZE> level;
  EXPECT_EQ(pondrex_->result("__GetWindLevel", {slotOf(EcrId), slotOf(level.Data())}), -1);
  EXPECT_EQ(level.Text(), "7");
  EXPECT_TRUE(level.GuardsKept());
  EXPECT_EQ(received(2), (Texts{frame(0xA0030000, {}, 0), frame(0xA0030000, {}, 1)}));

  reset();
  scale_.on(0xA0030000, ScaleReply::refuse(0x0002));
  TGuardedBuffers<PONDREX_WIND_LEVEL_BUFFER_SIZE> refused;
  EXPECT_EQ(pondrex_->result("__GetWindLevel", {slotOf(EcrId), slotOf(refused.Data())}), 0);
  EXPECT_EQ(refused.Text(), "untouched");
  Sleep(150);
  EXPECT_EQ(received(1), Texts{frame(0xA0030000, {}, 0)});
}

// Four 32-byte packets: learning flag 1, 15 points, point i = (i + 3)/-(i + 3)/(i + 3)/2.
Bytes tablePacket(size_t packet) {
  Bytes table(128, 0);
  table[0] = 1;
  table[1] = 15;
  for (size_t i = 0; i < 15; ++i) {
    const size_t at = 8 + 8 * i;
    const int value = static_cast<int>(i) + 3;
    table[at + 1] = static_cast<uint8_t>(value);
    table[at + 2] = 0xFF;
    table[at + 3] = static_cast<uint8_t>(0x100 - value);
    table[at + 7] = static_cast<uint8_t>(50 * value);
  }
  return Bytes(table.begin() + static_cast<std::ptrdiff_t>(packet * 32),
               table.begin() + static_cast<std::ptrdiff_t>(packet * 32 + 32));
}

TEST_F(PondrexScaleCommands, TemperatureTableIsReadInFourPacketsAndOnlyTheWholeTableDecoded) {
  std::string expected = "TEMCOMPENSATEINFO para=0 flag=1 learned=15 points";
  for (int i = 0; i < 15; ++i) {
    char point[48];
    std::snprintf(point, sizeof point, " %d/%d/%g", i + 3, -(i + 3), ((50 * (i + 3)) & 0xFF) / 100.0);
    expected += point;
  }
  for (const char *name : {"Temperatureex", "__Temperatureex"}) {
    SCOPED_TRACE(name);
    reset();
    scale_.on(0xA0000000, {ScaleReply::withData(tablePacket(0)), ScaleReply::withData(tablePacket(1)),
                           ScaleReply::withData(tablePacket(2)), ScaleReply::withData(tablePacket(3))});
    EXPECT_EQ(pondrex_->result(name, {slotOf(EcrId)}), -1);
    // No packet but the last reaches a decoder: no SENSORINFO.
    EXPECT_EQ(hostCallbackTexts(), Texts{expected});
    EXPECT_EQ(received(4), (Texts{frame(0xA0000000, {}, 0), frame(0xA0000000, {}, 1),
                                  frame(0xA0000000, {}, 2), frame(0xA0000000, {}, 3)}));
  }
  reset();
  scale_.on(0xA0000000, {ScaleReply::withData(tablePacket(0)), ScaleReply::refuse(1)});
  EXPECT_EQ(pondrex_->result("Temperatureex", {slotOf(EcrId)}), 0);
  EXPECT_TRUE(hostCallbackTexts().empty());
  EXPECT_EQ(received(2).size(), 2u);
}

TEST_F(PondrexScaleCommands, TemperatureTableIsWrittenFromAFileInBlocksOf32Bytes) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring path =
      std::wstring(folder) + L"\u6E29\u5EA6\u8868-" + std::to_wstring(GetCurrentProcessId()) + L".bin";
  Bytes table(40);
  for (size_t i = 0; i < table.size(); ++i) {
    table[i] = static_cast<uint8_t>(0xA0 + i);
  }
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, table.data(), static_cast<DWORD>(table.size()), &written, nullptr);
  CloseHandle(file);

  Bytes last(table.begin() + 32, table.end());
  last.resize(32, 0);
  for (const char *name : {"SetTemperatureex", "__SetTemperatureex"}) {
    SCOPED_TRACE(name);
    reset();
    EXPECT_EQ(pondrex_->result(name, {slotOf(path.c_str()), slotOf(EcrId)}), -1);
    EXPECT_EQ(received(2), (Texts{frame(0x92000000, Bytes(table.begin(), table.begin() + 32), 0),
                                  frame(0x92000100, last, 1)}));
  }
  reset();
  scale_.on(0x92000000, ScaleReply::refuse(0x0003));
  EXPECT_EQ(pondrex_->result("SetTemperatureex", {slotOf(path.c_str()), slotOf(EcrId)}), 0);
  EXPECT_EQ(received(1).size(), 1u);
  EXPECT_EQ(hostCallbackTexts(), Texts{"SENSORERR code=3"});
  DeleteFileW(path.c_str());

  reset();
  EXPECT_EQ(pondrex_->result("SetTemperatureex", {slotOf(path.c_str()), slotOf(EcrId)}), 0);
  Sleep(150);
  EXPECT_TRUE(scale_.log().empty());
}

TEST_F(PondrexScaleCommands, TareReadsHandOutTheTareOfTheMeasurement) {
  scale_.on(0x80020000, ScaleReply::withData(Measurement));
  const wchar_t *tare = nullptr;
  EXPECT_EQ(pondrex_->result("ReadTare", {slotOf(EcrId), slotOf(&tare)}), -1);
  ASSERT_NE(tare, nullptr);
  EXPECT_EQ(std::wstring(tare), L"1");
  EXPECT_EQ(hostCallbackTexts(), Texts{MeasurementText});

  TGuardedBuffers<PONDREX_TARE_BUFFER_SIZE> buffer;
  EXPECT_EQ(pondrex_->result("__ReadTare", {slotOf(EcrId), slotOf(buffer.Data())}), -1);
  EXPECT_EQ(buffer.Text(), "1");
  EXPECT_TRUE(buffer.GuardsKept());

  scale_.on(0x80020000, ScaleReply::refuse(0x0004));
  TGuardedBuffers<PONDREX_TARE_BUFFER_SIZE> refused;
  EXPECT_EQ(pondrex_->result("__ReadTare", {slotOf(EcrId), slotOf(refused.Data())}), 0);
  EXPECT_EQ(refused.Text(), "untouched");
  // The plain form hands out the tare it holds, whatever the read did.
  tare = nullptr;
  EXPECT_EQ(pondrex_->result("ReadTare", {slotOf(EcrId), slotOf(&tare)}), 0);
  ASSERT_NE(tare, nullptr);
  EXPECT_EQ(std::wstring(tare), L"1");
}

} // namespace
