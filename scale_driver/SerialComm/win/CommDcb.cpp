#include "CommDcb.h"

namespace pondrex {

void FillDcb(DCB &dcb, const TCommSettings &s) {
  dcb.BaudRate = s.BaudRate;
  const uint32_t flags = DcbFlagWord(s);
  dcb.fBinary = flags & 0x1;
  dcb.fParity = (flags >> 1) & 0x1;
  dcb.fOutxCtsFlow = (flags >> 2) & 0x1;
  dcb.fOutxDsrFlow = (flags >> 3) & 0x1;
  dcb.fDtrControl = (flags >> 4) & 0x3;
  dcb.fDsrSensitivity = (flags >> 6) & 0x1;
  dcb.fTXContinueOnXoff = (flags >> 7) & 0x1;
  dcb.fOutX = (flags >> 8) & 0x1;
  dcb.fInX = (flags >> 9) & 0x1;
  dcb.fErrorChar = (flags >> 10) & 0x1;
  dcb.fNull = (flags >> 11) & 0x1;
  dcb.fRtsControl = (flags >> 12) & 0x3;
  dcb.fAbortOnError = 0;
  dcb.fDummy2 = 0;
  dcb.XonLim = s.XonLimit;
  dcb.XoffLim = s.XoffLimit;
  dcb.ByteSize = DcbByteSize(s.ByteSize);
  dcb.Parity = DcbParity(s.Parity);
  dcb.StopBits = DcbStopBits(s.StopBits);
  dcb.XonChar = static_cast<char>(s.XonChar);
  dcb.XoffChar = static_cast<char>(s.XoffChar);
  dcb.ErrorChar = static_cast<char>(s.ReplacedChar);
}

void FillCommTimeouts(COMMTIMEOUTS &timeouts, const TCommSettings &s) {
  timeouts.ReadIntervalTimeout = s.ReadIntervalTimeout;
  timeouts.ReadTotalTimeoutMultiplier = s.ReadTotalTimeoutMultiplier;
  timeouts.ReadTotalTimeoutConstant = s.ReadTotalTimeoutConstant;
  timeouts.WriteTotalTimeoutMultiplier = s.WriteTotalTimeoutMultiplier;
  timeouts.WriteTotalTimeoutConstant = s.WriteTotalTimeoutConstant;
}

} // namespace pondrex
