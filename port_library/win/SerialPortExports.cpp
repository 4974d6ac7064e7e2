// The library's one serial port: synchronous open, 8-byte writes and reads of
// up to 22 bytes with fixed time-outs.
#include "ComPort.h"
#include "KestruneExports.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// The open port; empty whenever no port is open.
pos::UniqueHandle hComm;

constexpr DWORD SendSize = 8;
constexpr DWORD ReceiveSize = 22;

} // namespace

extern "C" int32_t KestruneInit(const char *portName, int32_t baudRate) {
  // A second init replaces the open port: without this its handle would be
  // lost, and it would keep the port from being opened again.
  hComm.reset();
  if (portName == nullptr) {
    std::printf("Failed to open serial port %s\n", "(null)");
    return -1;
  }
  hComm = pos::OpenComPort(portName);
  if (!hComm) {
    std::printf("Failed to open serial port %s\n", portName);
    return -1;
  }
  switch (pos::SetLine8N1(hComm.get(), static_cast<DWORD>(baudRate))) {
  case pos::TLineSetup::ReadFailed:
    std::printf("Failed to get serial parameters\n");
    hComm.reset();
    return -2;
  case pos::TLineSetup::ApplyFailed:
    std::printf("Failed to set serial parameters\n");
    hComm.reset();
    return -3;
  case pos::TLineSetup::Applied:
    break;
  }

  // A read ends 50 ms after the last byte, or after 50 ms per byte asked for
  // plus 1000 ms in all; writes have no time-out. A failure here is not
  // reported.
  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(hComm.get(), &timeouts);
  timeouts.ReadIntervalTimeout = 50;
  timeouts.ReadTotalTimeoutMultiplier = 50;
  timeouts.ReadTotalTimeoutConstant = 1000;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(hComm.get(), &timeouts);
  return 1;
}

extern "C" int32_t KestruneSendData(const uint8_t *data) {
  if (data == nullptr) {
    return 0;
  }
  DWORD written = 0;
  if (!hComm || !WriteFile(hComm.get(), data, SendSize, &written, nullptr)) {
    std::printf("Failed to write to serial port\n");
    hComm.reset();
    return 0;
  }
  return static_cast<int32_t>(written);
}

extern "C" int32_t KestruneReceiveData(uint8_t *out) {
  if (out == nullptr) {
    return 1;
  }
  std::printf("Start read from serial port\n");
  // Read into a buffer of our own, so that the caller's buffer is written
  // only with what a successful read brought.
  uint8_t buffer[ReceiveSize];
  DWORD read = 0;
  if (!hComm || !ReadFile(hComm.get(), buffer, ReceiveSize, &read, nullptr)) {
    std::printf("Failed to read from serial port\n");
    hComm.reset();
    return 1;
  }
  std::memcpy(out, buffer, read);
  return static_cast<int32_t>(read);
}

extern "C" int32_t KestruneClose() {
  hComm.reset();
  return 1;
}
