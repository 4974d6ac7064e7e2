// The library's one serial port: synchronous open, 8-byte writes and reads of
// up to 22 bytes with fixed time-outs.
#include "KestruneExports.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// The open port; null whenever no port is open.
HANDLE hComm = nullptr;

constexpr DWORD SendSize = 8;
constexpr DWORD ReceiveSize = 22;

void closePort() {
  if (hComm != nullptr) {
    CloseHandle(hComm);
    hComm = nullptr;
  }
}

} // namespace

extern "C" int32_t kestruneInit(const char *portName, int32_t baudRate) {
  // A second init replaces the open port: without this its handle would be
  // lost, and it would keep the port from being opened again.
  closePort();
  if (portName == nullptr) {
    std::printf("Failed to open serial port %s\n", "(null)");
    return -1;
  }
  HANDLE port = CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    std::printf("Failed to open serial port %s\n", portName);
    return -1;
  }
  hComm = port;

  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(hComm, &dcb)) {
    std::printf("Failed to get serial parameters\n");
    closePort();
    return -2;
  }
  dcb.BaudRate = static_cast<DWORD>(baudRate);
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(hComm, &dcb)) {
    std::printf("Failed to set serial parameters\n");
    closePort();
    return -3;
  }

  // A read ends 50 ms after the last byte, or after 50 ms per byte asked for
  // plus 1000 ms in all; writes have no time-out. A failure here is not
  // reported.
  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(hComm, &timeouts);
  timeouts.ReadIntervalTimeout = 50;
  timeouts.ReadTotalTimeoutMultiplier = 50;
  timeouts.ReadTotalTimeoutConstant = 1000;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(hComm, &timeouts);
  return 1;
}

extern "C" int32_t kestruneSendData(const uint8_t *data) {
  if (data == nullptr) {
    return 0;
  }
  DWORD written = 0;
  if (hComm == nullptr || !WriteFile(hComm, data, SendSize, &written, nullptr)) {
    std::printf("Failed to write to serial port\n");
    closePort();
    return 0;
  }
  return static_cast<int32_t>(written);
}

extern "C" int32_t kestruneReceiveData(uint8_t *out) {
  if (out == nullptr) {
    return 1;
  }
  std::printf("Start read from serial port\n");
  // Read into a buffer of our own, so that the caller's buffer is written
  // only with what a successful read brought.
  uint8_t buffer[ReceiveSize];
  DWORD read = 0;
  if (hComm == nullptr || !ReadFile(hComm, buffer, ReceiveSize, &read, nullptr)) {
    std::printf("Failed to read from serial port\n");
    closePort();
    return 1;
  }
  std::memcpy(out, buffer, read);
  return static_cast<int32_t>(read);
}

extern "C" int32_t kestruneClose() {
  closePort();
  return 1;
}
