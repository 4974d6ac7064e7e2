#include "TCommBase.h"

namespace pondrex {

namespace {
// Stores value in field; true when it changed.
template <typename T> bool Store(T &field, const T &value) {
  if (field == value) {
    return false;
  }
  field = value;
  return true;
}
} // namespace

#define POS_DCB_SETTER(Name, Type)                                                                           \
  void TCommBase::Set##Name(Type value) {                                                                    \
    if (Store(settings_.Name, value) && IsOpen()) {                                                          \
      ApplyCommState();                                                                                      \
    }                                                                                                        \
  }

#define POS_TIMEOUT_SETTER(Name)                                                                             \
  void TCommBase::Set##Name(uint32_t value) {                                                                \
    if (Store(settings_.Name, value) && IsOpen()) {                                                          \
      ApplyCommTimeouts();                                                                                   \
    }                                                                                                        \
  }

// The port name is used by the next StartComm, the parity by the next time
// the DCB is applied.
void TCommBase::SetCommName(const std::u16string &value) {
  Store(settings_.CommName, value);
}
void TCommBase::SetParity(TParity value) {
  Store(settings_.Parity, value);
}

POS_DCB_SETTER(BaudRate, uint32_t)
POS_DCB_SETTER(ParityCheck, bool)
POS_DCB_SETTER(Outx_CtsFlow, bool)
POS_DCB_SETTER(Outx_DsrFlow, bool)
POS_DCB_SETTER(DtrControl, TDtrControl)
POS_DCB_SETTER(DsrSensitivity, bool)
POS_DCB_SETTER(TxContinueOnXoff, bool)
POS_DCB_SETTER(Outx_XonXoffFlow, bool)
POS_DCB_SETTER(Inx_XonXoffFlow, bool)
POS_DCB_SETTER(ReplaceWhenParityError, bool)
POS_DCB_SETTER(IgnoreNullChar, bool)
POS_DCB_SETTER(RtsControl, TRtsControl)
POS_DCB_SETTER(XonLimit, uint16_t)
POS_DCB_SETTER(XoffLimit, uint16_t)
POS_DCB_SETTER(ByteSize, TByteSize)
POS_DCB_SETTER(StopBits, TStopBits)
POS_DCB_SETTER(XonChar, uint8_t)
POS_DCB_SETTER(XoffChar, uint8_t)
POS_DCB_SETTER(ReplacedChar, uint8_t)

POS_TIMEOUT_SETTER(ReadIntervalTimeout)
POS_TIMEOUT_SETTER(ReadTotalTimeoutMultiplier)
POS_TIMEOUT_SETTER(ReadTotalTimeoutConstant)
POS_TIMEOUT_SETTER(WriteTotalTimeoutMultiplier)
POS_TIMEOUT_SETTER(WriteTotalTimeoutConstant)

#undef POS_DCB_SETTER
#undef POS_TIMEOUT_SETTER

void TCommBase::SetScaleLine(uint32_t readIntervalMs) {
  SetDtrControl(TDtrControl::DtrDisable);
  SetRtsControl(TRtsControl::RtsEnable);
  SetTxContinueOnXoff(false);
  SetOutx_XonXoffFlow(false);
  SetIgnoreNullChar(false);
  SetParityCheck(false);
  SetByteSize(TByteSize::_8);
  SetParity(TParity::None);
  SetStopBits(TStopBits::_1);
  SetReadIntervalTimeout(readIntervalMs);
}

} // namespace pondrex
