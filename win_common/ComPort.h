// Opening a COM port for synchronous reads and writes, and setting its line,
// as the 64-bit support libraries do it: the port comes back in an owner, so
// that no path of the caller can leave it open by mistake.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>

#include <cstring>

namespace pos {

// Opens the port by the name given ("COM3", or "\\.\COM10" for COM10 and
// above) for reading and writing, unshared, without overlapped I/O. An empty
// owner when it cannot be opened; GetLastError() then tells why.
inline UniqueHandle OpenComPort(const char *name) {
  return UniqueHandle(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

// What became of setting a port's line.
enum class TLineSetup {
  Applied,
  ReadFailed,  // the port's settings could not be read
  ApplyFailed, // the new settings could not be applied
};

// Sets baudRate, 8 data bits, no parity and one stop bit on the port; every
// other setting keeps the value the port has.
inline TLineSetup SetLine8N1(HANDLE port, DWORD baudRate) {
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) {
    return TLineSetup::ReadFailed;
  }
  dcb.BaudRate = baudRate;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  return SetCommState(port, &dcb) ? TLineSetup::Applied : TLineSetup::ApplyFailed;
}

} // namespace pos
