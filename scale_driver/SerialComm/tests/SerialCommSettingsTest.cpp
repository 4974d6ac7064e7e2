// The DCB flag word built from the settings, and the setters' rule: store a
// value only when it changes, re-apply the DCB or the time-outs only while
// the port is open.
#include "TCommBase.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace pondrex {
namespace {

struct FlagCase {
  std::string name;
  std::function<void(TCommSettings &)> change;
  uint32_t word;
};

// Settings of a scale link, from which each case changes one thing: DTR and
// every flag off, RTS on.
TCommSettings Quiet() {
  TCommSettings s;
  s.DtrControl = TDtrControl::DtrDisable;
  s.TxContinueOnXoff = false;
  s.Outx_XonXoffFlow = false;
  s.Inx_XonXoffFlow = false;
  s.RtsControl = TRtsControl::RtsDisable;
  return s;
}

TEST(SerialCommDcbFlagWord, ConstructorValues) {
  EXPECT_EQ(DcbFlagWord(TCommSettings{}), 0x1391u);
}

TEST(SerialCommDcbFlagWord, EachSettingSetsItsBits) {
  const std::vector<FlagCase> cases = {
      {"nothing", [](TCommSettings &) {}, 0x0001},
      {"ParityCheck", [](TCommSettings &s) { s.ParityCheck = true; }, 0x0003},
      {"Outx_CtsFlow", [](TCommSettings &s) { s.Outx_CtsFlow = true; }, 0x0005},
      {"Outx_DsrFlow", [](TCommSettings &s) { s.Outx_DsrFlow = true; }, 0x0009},
      {"DtrEnable", [](TCommSettings &s) { s.DtrControl = TDtrControl::DtrEnable; }, 0x0011},
      {"DtrHandshake", [](TCommSettings &s) { s.DtrControl = TDtrControl::DtrHandshake; }, 0x0021},
      {"DsrSensitivity", [](TCommSettings &s) { s.DsrSensitivity = true; }, 0x0041},
      {"TxContinueOnXoff", [](TCommSettings &s) { s.TxContinueOnXoff = true; }, 0x0081},
      {"Outx_XonXoffFlow", [](TCommSettings &s) { s.Outx_XonXoffFlow = true; }, 0x0101},
      {"Inx_XonXoffFlow", [](TCommSettings &s) { s.Inx_XonXoffFlow = true; }, 0x0201},
      {"ReplaceWhenParityError", [](TCommSettings &s) { s.ReplaceWhenParityError = true; }, 0x0401},
      {"IgnoreNullChar", [](TCommSettings &s) { s.IgnoreNullChar = true; }, 0x0801},
      {"RtsEnable", [](TCommSettings &s) { s.RtsControl = TRtsControl::RtsEnable; }, 0x1001},
      {"RtsHandshake", [](TCommSettings &s) { s.RtsControl = TRtsControl::RtsHandshake; }, 0x2001},
      {"RtsTransmissionAvailable",
       [](TCommSettings &s) { s.RtsControl = TRtsControl::RtsTransmissionAvailable; }, 0x3001},
      // Line format and characters live in other DCB fields, never in the word.
      {"line format",
       [](TCommSettings &s) {
         s.Parity = TParity::Even;
         s.StopBits = TStopBits::_2;
         s.ByteSize = TByteSize::_7;
         s.XonChar = 1;
         s.BaudRate = 115200;
       },
       0x0001},
  };
  for (const FlagCase &c : cases) {
    TCommSettings s = Quiet();
    c.change(s);
    EXPECT_EQ(DcbFlagWord(s), c.word) << c.name;
  }
}

TEST(SerialCommDcbFlagWord, EverythingOnNeverSetsAbortOnError) {
  TCommSettings s;
  s.ParityCheck = s.Outx_CtsFlow = s.Outx_DsrFlow = s.DsrSensitivity = true;
  s.ReplaceWhenParityError = s.IgnoreNullChar = true;
  s.DtrControl = TDtrControl::DtrHandshake;
  s.RtsControl = TRtsControl::RtsTransmissionAvailable;
  EXPECT_EQ(DcbFlagWord(s), 0x3FEFu);
  EXPECT_EQ(DcbFlagWord(s) & 0x4000u, 0u);
}

TEST(SerialCommDcbFields, OrdinalsGoIntoTheDcb) {
  EXPECT_EQ(DcbByteSize(TByteSize::_5), 5);
  EXPECT_EQ(DcbByteSize(TByteSize::_8), 8);
  EXPECT_EQ(DcbParity(TParity::Space), 4);
  EXPECT_EQ(DcbStopBits(TStopBits::_1_5), 1);
}

// Counts what the setters ask the port to do.
class CountingComm : public TCommBase {
public:
  void StartComm() override { open = true; }
  void StopComm() override { open = false; }
  bool WriteCommData(const uint8_t *, uint32_t) override { return false; }
  uint32_t GetModemState() override { return 0; }
  bool IsOpen() const override { return open; }
  uint64_t LastChunkRead() const override { return 0; }

  bool open = false;
  int stateApplies = 0;
  int timeoutApplies = 0;

protected:
  void ApplyCommState() override { ++stateApplies; }
  void ApplyCommTimeouts() override { ++timeoutApplies; }
};

enum class Applies { Dcb, Timeouts, Nothing };

struct SetterCase {
  std::string name;
  std::function<void(TCommBase &)> set; // sets a value other than the constructor's
  Applies applies;
};

const std::vector<SetterCase> &SetterCases() {
  static const std::vector<SetterCase> cases = {
      {"CommName", [](TCommBase &c) { c.SetCommName(u"COM7"); }, Applies::Nothing},
      {"Parity", [](TCommBase &c) { c.SetParity(TParity::Odd); }, Applies::Nothing},
      {"BaudRate", [](TCommBase &c) { c.SetBaudRate(19200); }, Applies::Dcb},
      {"ParityCheck", [](TCommBase &c) { c.SetParityCheck(true); }, Applies::Dcb},
      {"Outx_CtsFlow", [](TCommBase &c) { c.SetOutx_CtsFlow(true); }, Applies::Dcb},
      {"Outx_DsrFlow", [](TCommBase &c) { c.SetOutx_DsrFlow(true); }, Applies::Dcb},
      {"DtrControl", [](TCommBase &c) { c.SetDtrControl(TDtrControl::DtrDisable); }, Applies::Dcb},
      {"DsrSensitivity", [](TCommBase &c) { c.SetDsrSensitivity(true); }, Applies::Dcb},
      {"TxContinueOnXoff", [](TCommBase &c) { c.SetTxContinueOnXoff(false); }, Applies::Dcb},
      {"Outx_XonXoffFlow", [](TCommBase &c) { c.SetOutx_XonXoffFlow(false); }, Applies::Dcb},
      {"Inx_XonXoffFlow", [](TCommBase &c) { c.SetInx_XonXoffFlow(false); }, Applies::Dcb},
      {"ReplaceWhenParityError", [](TCommBase &c) { c.SetReplaceWhenParityError(true); }, Applies::Dcb},
      {"IgnoreNullChar", [](TCommBase &c) { c.SetIgnoreNullChar(true); }, Applies::Dcb},
      {"RtsControl", [](TCommBase &c) { c.SetRtsControl(TRtsControl::RtsHandshake); }, Applies::Dcb},
      {"XonLimit", [](TCommBase &c) { c.SetXonLimit(100); }, Applies::Dcb},
      {"XoffLimit", [](TCommBase &c) { c.SetXoffLimit(100); }, Applies::Dcb},
      {"ByteSize", [](TCommBase &c) { c.SetByteSize(TByteSize::_7); }, Applies::Dcb},
      {"StopBits", [](TCommBase &c) { c.SetStopBits(TStopBits::_2); }, Applies::Dcb},
      {"XonChar", [](TCommBase &c) { c.SetXonChar(1); }, Applies::Dcb},
      {"XoffChar", [](TCommBase &c) { c.SetXoffChar(2); }, Applies::Dcb},
      {"ReplacedChar", [](TCommBase &c) { c.SetReplacedChar(0x3F); }, Applies::Dcb},
      {"ReadIntervalTimeout", [](TCommBase &c) { c.SetReadIntervalTimeout(20); }, Applies::Timeouts},
      {"ReadTotalTimeoutMultiplier", [](TCommBase &c) { c.SetReadTotalTimeoutMultiplier(2); },
       Applies::Timeouts},
      {"ReadTotalTimeoutConstant", [](TCommBase &c) { c.SetReadTotalTimeoutConstant(3); }, Applies::Timeouts},
      {"WriteTotalTimeoutMultiplier", [](TCommBase &c) { c.SetWriteTotalTimeoutMultiplier(4); },
       Applies::Timeouts},
      {"WriteTotalTimeoutConstant", [](TCommBase &c) { c.SetWriteTotalTimeoutConstant(5); },
       Applies::Timeouts},
  };
  return cases;
}

TEST(SerialCommSetters, ClosedPortStoresWithoutApplying) {
  for (const SetterCase &c : SetterCases()) {
    CountingComm comm;
    c.set(comm);
    EXPECT_NE(comm.Settings(), TCommSettings{}) << c.name << " was not stored";
    EXPECT_EQ(comm.stateApplies + comm.timeoutApplies, 0) << c.name;
  }
}

TEST(SerialCommSetters, OpenPortAppliesOnceAndOnlyOnChange) {
  for (const SetterCase &c : SetterCases()) {
    CountingComm comm;
    comm.StartComm();
    c.set(comm);
    const TCommSettings stored = comm.Settings();
    EXPECT_NE(stored, TCommSettings{}) << c.name << " was not stored";
    EXPECT_EQ(comm.stateApplies, c.applies == Applies::Dcb ? 1 : 0) << c.name;
    EXPECT_EQ(comm.timeoutApplies, c.applies == Applies::Timeouts ? 1 : 0) << c.name;
    c.set(comm); // the same value again touches nothing
    EXPECT_EQ(comm.Settings(), stored) << c.name;
    EXPECT_EQ(comm.stateApplies, c.applies == Applies::Dcb ? 1 : 0)
        << c.name << " applied an unchanged value";
    EXPECT_EQ(comm.timeoutApplies, c.applies == Applies::Timeouts ? 1 : 0) << c.name;
  }
}

TEST(SerialCommSetters, ConstructorValueOnOpenPortTouchesNothing) {
  CountingComm comm;
  comm.StartComm();
  comm.SetBaudRate(9600);
  comm.SetReadIntervalTimeout(1);
  comm.SetDtrControl(TDtrControl::DtrEnable);
  EXPECT_EQ(comm.stateApplies + comm.timeoutApplies, 0);
}

TEST(SerialCommScaleLine, SetsEightDataBitsNoParityOneStopBitWithoutFlowControl) {
  CountingComm comm;
  comm.SetParity(TParity::Odd);
  comm.SetParityCheck(true);
  comm.SetByteSize(TByteSize::_7);
  comm.SetStopBits(TStopBits::_2);
  comm.SetIgnoreNullChar(true);
  comm.SetScaleLine(20);
  TCommSettings expected;
  expected.DtrControl = TDtrControl::DtrDisable;
  expected.TxContinueOnXoff = false;
  expected.Outx_XonXoffFlow = false;
  expected.ReadIntervalTimeout = 20;
  EXPECT_EQ(comm.Settings(), expected);
}

} // namespace
} // namespace pondrex
