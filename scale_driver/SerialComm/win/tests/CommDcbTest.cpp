// The settings as the driver gets them: every DCB field the settings own,
// the fields they do not own left as the driver gave them, and the five
// time-outs each in its place.
#include "CommDcb.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace pondrex {
namespace {

// The flag word as the DCB's bit fields hold it.
uint32_t BitFieldWord(const DCB &dcb) {
  uint32_t word = 0;
  std::memcpy(&word, reinterpret_cast<const uint8_t *>(&dcb) + offsetof(DCB, BaudRate) + sizeof dcb.BaudRate,
              sizeof word);
  return word;
}

// A DCB as a driver might hand it over: every byte set.
DCB DriverDcb() {
  DCB dcb;
  std::memset(&dcb, 0xFF, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  dcb.EofChar = 0x1A;
  dcb.EvtChar = 0x7E;
  return dcb;
}

TCommSettings Unusual() {
  TCommSettings s;
  s.BaudRate = 115200;
  s.ParityCheck = true;
  s.DtrControl = TDtrControl::DtrHandshake;
  s.RtsControl = TRtsControl::RtsTransmissionAvailable;
  s.Inx_XonXoffFlow = false;
  s.IgnoreNullChar = true;
  s.XonLimit = 123;
  s.XoffLimit = 456;
  s.ByteSize = TByteSize::_7;
  s.Parity = TParity::Even;
  s.StopBits = TStopBits::_2;
  s.XonChar = 0x01;
  s.XoffChar = 0x02;
  s.ReplacedChar = 0x3F;
  return s;
}

TEST(SerialCommDcb, SettingsFillTheirFieldsAndNothingElse) {
  struct Case {
    std::string name;
    TCommSettings settings;
    uint8_t byteSize, parity, stopBits;
  };
  const std::vector<Case> cases = {
      {"constructor values", TCommSettings{}, 8, NOPARITY, ONESTOPBIT},
      {"unusual values", Unusual(), 7, EVENPARITY, TWOSTOPBITS},
  };
  for (const Case &c : cases) {
    DCB dcb = DriverDcb();
    const DCB before = dcb;
    FillDcb(dcb, c.settings);
    EXPECT_EQ(dcb.BaudRate, c.settings.BaudRate) << c.name;
    EXPECT_EQ(BitFieldWord(dcb), DcbFlagWord(c.settings)) << c.name;
    EXPECT_EQ(dcb.XonLim, c.settings.XonLimit) << c.name;
    EXPECT_EQ(dcb.XoffLim, c.settings.XoffLimit) << c.name;
    EXPECT_EQ(dcb.ByteSize, c.byteSize) << c.name;
    EXPECT_EQ(dcb.Parity, c.parity) << c.name;
    EXPECT_EQ(dcb.StopBits, c.stopBits) << c.name;
    EXPECT_EQ(static_cast<uint8_t>(dcb.XonChar), c.settings.XonChar) << c.name;
    EXPECT_EQ(static_cast<uint8_t>(dcb.XoffChar), c.settings.XoffChar) << c.name;
    EXPECT_EQ(static_cast<uint8_t>(dcb.ErrorChar), c.settings.ReplacedChar) << c.name;
    EXPECT_EQ(dcb.DCBlength, before.DCBlength) << c.name;
    EXPECT_EQ(dcb.EofChar, before.EofChar) << c.name;
    EXPECT_EQ(dcb.EvtChar, before.EvtChar) << c.name;
    EXPECT_EQ(dcb.wReserved, before.wReserved) << c.name;
    EXPECT_EQ(dcb.wReserved1, before.wReserved1) << c.name;
  }
}

TEST(SerialCommDcb, EachFlagLandsInItsBitField) {
  DCB dcb = DriverDcb();
  FillDcb(dcb, Unusual());
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fParity, 1u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
  EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
  EXPECT_EQ(dcb.fOutX, 1u);
  EXPECT_EQ(dcb.fInX, 0u);
  EXPECT_EQ(dcb.fNull, 1u);
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
  EXPECT_EQ(dcb.fAbortOnError, 0u);
}

TEST(SerialCommDcb, TimeoutsGoEachToItsField) {
  TCommSettings s;
  s.ReadIntervalTimeout = 20;
  s.ReadTotalTimeoutMultiplier = 2;
  s.ReadTotalTimeoutConstant = 3;
  s.WriteTotalTimeoutMultiplier = 4;
  s.WriteTotalTimeoutConstant = 5;
  COMMTIMEOUTS timeouts{99, 99, 99, 99, 99};
  FillCommTimeouts(timeouts, s);
  EXPECT_EQ(timeouts.ReadIntervalTimeout, 20u);
  EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 3u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 4u);
  EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 5u);
}

} // namespace
} // namespace pondrex
