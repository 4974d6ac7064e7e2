// Morvale.dll: the customer display and cash drawer on one COM port, and the
// list of the machine's COM ports.
#include "ComPort.h"
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
int32_t MorvaleInitComPort(const char *portName);
int32_t MorvaleSendData(const uint8_t *data, int32_t length);
void MorvaleInitDisplay();
void MorvaleClearDisplay();
void MorvaleOpenCashBox();
void MorvaleSendDisplayData(const char *text);
void MorvaleSetLightStatus(int32_t status);
void MorvaleCloseComPort();
char *MorvaleGetComPortList();
void MorvaleFreeNativeMemory(char *text);
}

namespace {

// The open port, kept between calls; empty whenever the port is closed.
pos::UniqueHandle hComPort;

// Writes the command that make() builds; an empty one writes nothing. The
// display functions give the host no result, so a failed write goes
// unreported, and a command that cannot be allocated is not written.
template <class Make> void WriteCommand(Make make) {
  try {
    const std::vector<uint8_t> bytes = make();
    if (!bytes.empty()) {
      MorvaleSendData(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
  } catch (const std::exception &) {
  }
}

// Whether a COM port exists: it opens, or it is in use (by this library too).
bool PortPresent(int number) {
  char path[32];
  std::snprintf(path, sizeof path, "\\\\.\\COM%d", number);
  if (const pos::UniqueHandle port = pos::OpenComPort(path)) {
    return true; // the probe's handle is closed again here
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

} // namespace

extern "C" int32_t MorvaleInitComPort(const char *portName) {
  // A second open replaces the open port: without this its handle would be
  // lost, and it would keep the same port from being opened again.
  hComPort.reset();
  if (portName == nullptr) {
    return 0;
  }
  hComPort = pos::OpenComPort(portName);
  if (!hComPort) {
    return 0;
  }
  switch (pos::SetLine8N1(hComPort.get(), 2400)) {
  case pos::TLineSetup::ReadFailed:
    hComPort.reset();
    return 0;
  case pos::TLineSetup::ApplyFailed:
    hComPort.reset();
    std::printf("SetCommState is error\n");
    return 0;
  case pos::TLineSetup::Applied:
    break;
  }
  // Reads return at once with what has arrived; a write of n bytes takes at
  // most 10 n + 50 ms.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 10;
  timeouts.WriteTotalTimeoutConstant = 50;
  if (!SetCommTimeouts(hComPort.get(), &timeouts)) {
    hComPort.reset();
    std::printf("SetCommTimeouts is error\n");
    return 0;
  }
  return 1;
}

extern "C" int32_t MorvaleSendData(const uint8_t *data, int32_t length) {
  if (!hComPort || data == nullptr || length < 0) {
    return 0;
  }
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(length);
  return WriteFile(hComPort.get(), data, size, &written, nullptr) && written == size ? 1 : 0;
}

extern "C" void MorvaleInitDisplay() {
  WriteCommand(morvale::InitDisplayCommand);
}

extern "C" void MorvaleClearDisplay() {
  WriteCommand(morvale::ClearDisplayCommand);
}

extern "C" void MorvaleOpenCashBox() {
  WriteCommand(morvale::OpenCashBoxCommand);
}

extern "C" void MorvaleSendDisplayData(const char *text) {
  if (text != nullptr) {
    WriteCommand([text] { return morvale::DisplayTextCommand(text); });
  }
}

extern "C" void MorvaleSetLightStatus(int32_t status) {
  WriteCommand([status] { return morvale::LightStatusCommand(status); });
}

extern "C" void MorvaleCloseComPort() {
  hComPort.reset();
}

extern "C" char *MorvaleGetComPortList() {
  auto *buffer = static_cast<char *>(std::malloc(morvale::ComPortListBufferSize));
  if (buffer == nullptr) {
    return nullptr;
  }
  try {
    std::vector<int> present;
    for (int number = morvale::FirstComPort; number <= morvale::LastComPort; ++number) {
      if (PortPresent(number)) {
        present.push_back(number);
      }
    }
    const std::string text = morvale::ComPortListText(present);
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

extern "C" void MorvaleFreeNativeMemory(char *text) {
  std::free(text);
}
