#include "CommTypes.h"

namespace pondrex {

namespace {
uint32_t DtrBits(TDtrControl control) {
  switch (control) {
  case TDtrControl::DtrEnable:
    return 0x0010; // DTR_CONTROL_ENABLE
  case TDtrControl::DtrHandshake:
    return 0x0020; // DTR_CONTROL_HANDSHAKE
  case TDtrControl::DtrDisable:
    break;
  }
  return 0;
}

uint32_t RtsBits(TRtsControl control) {
  switch (control) {
  case TRtsControl::RtsEnable:
    return 0x1000; // RTS_CONTROL_ENABLE
  case TRtsControl::RtsHandshake:
    return 0x2000; // RTS_CONTROL_HANDSHAKE
  case TRtsControl::RtsTransmissionAvailable:
    return 0x3000; // RTS_CONTROL_TOGGLE
  case TRtsControl::RtsDisable:
    break;
  }
  return 0;
}
} // namespace

uint32_t DcbFlagWord(const TCommSettings &s) {
  uint32_t word = 0x0001; // fBinary: Windows supports binary transfers only
  if (s.ParityCheck) {
    word |= 0x0002;
  }
  if (s.Outx_CtsFlow) {
    word |= 0x0004;
  }
  if (s.Outx_DsrFlow) {
    word |= 0x0008;
  }
  word |= DtrBits(s.DtrControl);
  if (s.DsrSensitivity) {
    word |= 0x0040;
  }
  if (s.TxContinueOnXoff) {
    word |= 0x0080;
  }
  if (s.Outx_XonXoffFlow) {
    word |= 0x0100;
  }
  if (s.Inx_XonXoffFlow) {
    word |= 0x0200;
  }
  if (s.ReplaceWhenParityError) {
    word |= 0x0400;
  }
  if (s.IgnoreNullChar) {
    word |= 0x0800;
  }
  word |= RtsBits(s.RtsControl);
  return word;
}

} // namespace pondrex
