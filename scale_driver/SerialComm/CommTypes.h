// Line settings of the serial component: the enumerations that go into the
// DCB and the values the component starts with.
#pragma once

#include <cstdint>
#include <string>

namespace pondrex {

enum class TParity : uint8_t { None, Odd, Even, Mark, Space };
enum class TStopBits : uint8_t { _1, _1_5, _2 };
enum class TByteSize : uint8_t { _5, _6, _7, _8 };
enum class TDtrControl : uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : uint8_t { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

// Every published setting of the serial component, with the value the
// component is constructed with.
struct TCommSettings {
  std::u16string CommName = u"COM1";
  uint32_t BaudRate = 9600;
  bool ParityCheck = false;
  bool Outx_CtsFlow = false;
  bool Outx_DsrFlow = false;
  TDtrControl DtrControl = TDtrControl::DtrEnable;
  bool DsrSensitivity = false;
  bool TxContinueOnXoff = true;
  bool Outx_XonXoffFlow = true;
  bool Inx_XonXoffFlow = true;
  bool ReplaceWhenParityError = false;
  bool IgnoreNullChar = false;
  TRtsControl RtsControl = TRtsControl::RtsEnable;
  uint16_t XonLimit = 500;
  uint16_t XoffLimit = 500;
  TByteSize ByteSize = TByteSize::_8;
  TParity Parity = TParity::None;
  TStopBits StopBits = TStopBits::_1;
  uint8_t XonChar = 17;
  uint8_t XoffChar = 19;
  uint8_t ReplacedChar = 0;
  uint32_t ReadIntervalTimeout = 1;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;

  bool operator==(const TCommSettings &) const = default;
};

// The DCB flag word (fBinary, fParity, ... fRtsControl) for these settings,
// rebuilt from nothing; fAbortOnError is never set.
uint32_t DcbFlagWord(const TCommSettings &settings);

// The values that go into the DCB by ordinal.
inline uint8_t DcbByteSize(TByteSize size) { return static_cast<uint8_t>(static_cast<uint8_t>(size) + 5); }
inline uint8_t DcbParity(TParity parity) { return static_cast<uint8_t>(parity); }
inline uint8_t DcbStopBits(TStopBits stop) { return static_cast<uint8_t>(stop); }

} // namespace pondrex
