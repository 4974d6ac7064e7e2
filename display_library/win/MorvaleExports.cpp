// Morvale.dll: the customer display and cash drawer on one COM port, and the
// list of the machine's COM ports.
#include "ComPortListText.h"
#include "DisplayCommands.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

extern "C" {
int32_t morvaleInitComPort(const char *portName);
int32_t morvaleSendData(const uint8_t *data, int32_t length);
void morvaleInitDisplay();
void morvaleClearDisplay();
void morvaleOpenCashBox();
void morvaleSendDisplayData(const char *text);
void morvaleSetLightStatus(int32_t status);
void morvaleCloseComPort();
char *morvaleGetComPortList();
void morvaleFreeNativeMemory(char *text);
}

namespace {

// The open port; INVALID_HANDLE_VALUE whenever the port is closed.
HANDLE hComPort = INVALID_HANDLE_VALUE;

void closePort() {
  if (hComPort != INVALID_HANDLE_VALUE) {
    CloseHandle(hComPort);
    hComPort = INVALID_HANDLE_VALUE;
  }
}

// Writes the command that make() builds; an empty one writes nothing. The
// display functions give the host no result, so a failed write goes
// unreported, and a command that cannot be allocated is not written.
template <class Make> void writeCommand(Make make) {
  try {
    const std::vector<uint8_t> bytes = make();
    if (!bytes.empty()) {
      morvaleSendData(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
  } catch (const std::exception &) {
  }
}

// Whether a COM port exists: it opens, or it is in use (by this library too).
bool portPresent(int number) {
  char path[32];
  std::snprintf(path, sizeof path, "\\\\.\\COM%d", number);
  HANDLE port = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port != INVALID_HANDLE_VALUE) {
    CloseHandle(port);
    return true;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

} // namespace

extern "C" int32_t morvaleInitComPort(const char *portName) {
  // A second open replaces the open port: without this its handle would be
  // lost, and it would keep the same port from being opened again.
  closePort();
  if (portName == nullptr) {
    return 0;
  }
  hComPort = CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (hComPort == INVALID_HANDLE_VALUE) {
    return 0;
  }
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(hComPort, &dcb)) {
    closePort();
    return 0;
  }
  dcb.BaudRate = 2400;
  dcb.Parity = NOPARITY;
  dcb.ByteSize = 8;
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(hComPort, &dcb)) {
    closePort();
    std::printf("SetCommState is error\n");
    return 0;
  }
  // Reads return at once with what has arrived; a write of n bytes takes at
  // most 10 n + 50 ms.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 10;
  timeouts.WriteTotalTimeoutConstant = 50;
  if (!SetCommTimeouts(hComPort, &timeouts)) {
    closePort();
    std::printf("SetCommTimeouts is error\n");
    return 0;
  }
  return 1;
}

extern "C" int32_t morvaleSendData(const uint8_t *data, int32_t length) {
  if (hComPort == INVALID_HANDLE_VALUE || data == nullptr || length < 0) {
    return 0;
  }
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(length);
  return WriteFile(hComPort, data, size, &written, nullptr) && written == size ? 1 : 0;
}

extern "C" void morvaleInitDisplay() {
  writeCommand(morvale::initDisplayCommand);
}

extern "C" void morvaleClearDisplay() {
  writeCommand(morvale::clearDisplayCommand);
}

extern "C" void morvaleOpenCashBox() {
  writeCommand(morvale::openCashBoxCommand);
}

extern "C" void morvaleSendDisplayData(const char *text) {
  if (text != nullptr) {
    writeCommand([text] { return morvale::displayTextCommand(text); });
  }
}

extern "C" void morvaleSetLightStatus(int32_t status) {
  writeCommand([status] { return morvale::lightStatusCommand(status); });
}

extern "C" void morvaleCloseComPort() {
  closePort();
}

extern "C" char *morvaleGetComPortList() {
  auto *buffer = static_cast<char *>(std::malloc(morvale::ComPortListBufferSize));
  if (buffer == nullptr) {
    return nullptr;
  }
  try {
    std::vector<int> present;
    for (int number = morvale::FirstComPort; number <= morvale::LastComPort; ++number) {
      if (portPresent(number)) {
        present.push_back(number);
      }
    }
    const std::string text = morvale::comPortListText(present);
    if (text.size() < morvale::ComPortListBufferSize) {
      std::memcpy(buffer, text.c_str(), text.size() + 1);
      return buffer;
    }
  } catch (const std::exception &) {
    // Out of memory while listing: no list.
  }
  std::free(buffer);
  return nullptr;
}

extern "C" void morvaleFreeNativeMemory(char *text) {
  std::free(text);
}
