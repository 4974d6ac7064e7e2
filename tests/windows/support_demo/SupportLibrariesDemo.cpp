// The 64-bit support libraries as a cash-register program uses them: it
// loads the shipped Morvale.dll, Kestrune.dll, Quillon64.dll and Quillon.dll
// by file name, binds their exports by name and calls them. The far end of
// the COM port is a simulated pole display (and serial device) that records
// the bytes it receives. Each call, its result and what reached the line are
// printed; the libraries' own lines appear where they print them.
//
// Usage: SupportLibrariesDemo.exe FOLDER   (the folder of the four DLLs; run
// through ptypeer.py)
// Exits with 1 when a call did not give what working libraries give.
#include "Kestrune.h"
#include "LoadedModule.h"
#include "Morvale.h"
#include "PeerClient.h"
#include "Quillon.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using pos::test::LoadedModule;
using pos::test::PeerClient;
using Bytes = std::vector<uint8_t>;

template <class Fn> Fn bind(const LoadedModule &module, const char *name) {
  return reinterpret_cast<Fn>(module.symbol(name));
}

std::string hex(const Bytes &bytes) {
  std::string text;
  char pair[4];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%s%02x", text.empty() ? "" : " ", b);
    text += pair;
  }
  return text.empty() ? "(nothing)" : text;
}

class Demo {
public:
  explicit Demo(const std::wstring &folder)
      : morvale_((folder + L"\\Morvale.dll").c_str()), kestrune_((folder + L"\\Kestrune.dll").c_str()),
        quillon64_((folder + L"\\Quillon64.dll").c_str()), quillon_((folder + L"\\Quillon.dll").c_str()) {}

  int run() {
    for (const LoadedModule *dll : {&morvale_, &kestrune_, &quillon64_, &quillon_}) {
      if (!dll->loaded()) {
        std::printf("a library could not be loaded (error %lu)\n", dll->loadError());
        return 1;
      }
      std::printf("loaded %ls\n", dll->path().c_str());
    }
    port_ = "\\\\.\\" + PeerClient::comPort();
    display();
    serialDevice();
    listings();
    instanceCheck();
    std::printf("\n%s\n", failures_ == 0 ? "every call gave what it should" : "SOME CALLS FAILED");
    return failures_ == 0 ? 0 : 1;
  }

private:
  void heading(const char *text) { std::printf("\n== %s\n", text); }

  // Prints a call and its result, and counts it as a failure unless ok.
  void result(const std::string &call, const std::string &value, bool ok) {
    std::fflush(stdout);
    std::printf("%s = %s%s\n", call.c_str(), value.c_str(), ok ? "" : "   <-- unexpected");
    failures_ += ok ? 0 : 1;
  }

  // What the far end received since the last look, after waiting for count
  // bytes (nothing is waited for when count is 0).
  void lineGot(const Bytes &expected) {
    Bytes got = expected.empty() ? Bytes{} : peer_.receive(expected.size(), 3000);
    const Bytes rest = peer_.takeAll();
    got.insert(got.end(), rest.begin(), rest.end());
    std::printf("    on the line: %s%s\n", hex(got).c_str(), got == expected ? "" : "   <-- unexpected");
    failures_ += got == expected ? 0 : 1;
  }

  void lineSettings(uint32_t baud) {
    const pos::test::LineSettings line = peer_.line();
    const bool ok = line.baud == baud && line.dataBits == 8 && line.parity == 'N' && line.stopBits == 1;
    std::printf("    line: %u baud, %d%c%d%s\n", line.baud, line.dataBits, line.parity, line.stopBits,
                ok ? "" : "   <-- unexpected");
    failures_ += ok ? 0 : 1;
  }

  void display() {
    heading(("Morvale.dll: the customer display and cash drawer on " + port_ +
             " (a simulated pole display records the bytes)")
                .c_str());
    const auto initComPort = bind<morvale::TInitComPortFn>(morvale_, "initComPort");
    const auto initDisplay = bind<morvale::TDisplayCommandFn>(morvale_, "initDisplay");
    const auto clearDisplay = bind<morvale::TDisplayCommandFn>(morvale_, "clearDisplay");
    const auto sendDisplayData = bind<morvale::TSendDisplayDataFn>(morvale_, "sendDisplayData");
    const auto setLightStatus = bind<morvale::TSetLightStatusFn>(morvale_, "setLightStatus");
    const auto openCashBox = bind<morvale::TDisplayCommandFn>(morvale_, "openCashBox");
    const auto closeComPort = bind<morvale::TCloseComPortFn>(morvale_, "closeComPort");

    const int32_t opened = initComPort(port_.c_str());
    result("initComPort(\"" + port_ + "\")", std::to_string(opened), opened == 1);
    lineSettings(2400);
    std::printf("initDisplay()\n");
    initDisplay();
    lineGot({0x1B, 0x40});
    std::printf("clearDisplay()\n");
    clearDisplay();
    lineGot({0x0C});
    std::printf("sendDisplayData(\"TOTAL 12.50\")\n");
    sendDisplayData("TOTAL 12.50");
    lineGot({0x1B, 0x51, 0x41, 'T', 'O', 'T', 'A', 'L', ' ', '1', '2', '.', '5', '0', 0x0D});
    std::printf("setLightStatus(2)\n");
    setLightStatus(2);
    lineGot({0x1B, 0x73, 0x32});
    std::printf("setLightStatus(7): no such lamp value\n");
    setLightStatus(7);
    lineGot({});
    std::printf("openCashBox()\n");
    openCashBox();
    lineGot({0x02, 0x4D});
    std::printf("closeComPort()\n");
    closeComPort();
  }

  void serialDevice() {
    heading(("Kestrune.dll: a serial device on " + port_).c_str());
    const auto init = bind<kestrune::TInitFn>(kestrune_, "init");
    const auto sendData = bind<kestrune::TSendDataFn>(kestrune_, "sendData");
    const auto receiveData = bind<kestrune::TReceiveDataFn>(kestrune_, "receiveData");
    const auto close = bind<kestrune::TCloseFn>(kestrune_, "close");

    const int32_t opened = init(port_.c_str(), 9600);
    result("init(\"" + port_ + "\", 9600)", std::to_string(opened), opened == 1);
    lineSettings(9600);
    const Bytes frame = {0x02, 'P', 0x00, 0x01, 0x00, 0x00, 0x03, 0x52};
    const int32_t sent = sendData(frame.data());
    result("sendData(" + hex(frame) + ")", std::to_string(sent), sent == 8);
    lineGot(frame);
    const Bytes answer = {0x06, 0x02, '1', '2', '.', '5', '0', 0x03};
    std::printf("the device answers %s\n", hex(answer).c_str());
    peer_.send(answer);
    Bytes out(22);
    const int32_t count = receiveData(out.data());
    out.resize(count > 0 ? static_cast<size_t>(count) : 0);
    result("receiveData(buffer of 22)", std::to_string(count) + " bytes: " + hex(out),
           count == static_cast<int32_t>(answer.size()) && out == answer);
    const int32_t closed = close();
    result("close()", std::to_string(closed), closed == 1);
  }

  void listings() {
    heading("listings and system queries");
    const auto getComPortList = bind<morvale::TGetComPortListFn>(morvale_, "getComPortList");
    const auto freeNativeMemory = bind<morvale::TFreeNativeMemoryFn>(morvale_, "freeNativeMemory");
    const auto findAvailablePort = bind<kestrune::TFindAvailablePortFn>(kestrune_, "findAvailablePort");
    const auto findAvailableUsb = bind<kestrune::TFindAvailableUsbFn>(kestrune_, "findAvailableUSB");
    const auto cjsonFree = bind<void (*)(void *)>(kestrune_, "cJSON_free");
    const auto getSystemVolume = bind<kestrune::TGetSystemVolumeFn>(kestrune_, "getSystemVolume");
    const auto getLocalIpAddress = bind<kestrune::TGetLocalIpAddressFn>(kestrune_, "getLocalIPAddress");

    char *ports = getComPortList();
    const std::string own = "\"" + PeerClient::comPort() + "\"";
    result("Morvale getComPortList()", ports == nullptr ? "null" : ports,
           ports != nullptr && std::string(ports).find(own) != std::string::npos);
    freeNativeMemory(ports);
    std::printf("    released with freeNativeMemory\n");

    char *serialComm = findAvailablePort();
    result("Kestrune findAvailablePort()", serialComm == nullptr ? "null" : serialComm,
           serialComm != nullptr && serialComm[0] == '[');
    cjsonFree(serialComm);
    std::printf("    released with cJSON_free\n");

    char *usb = findAvailableUsb(1);
    result("Kestrune findAvailableUSB(1)", usb == nullptr ? "null" : usb, usb != nullptr && usb[0] == '[');
    cjsonFree(usb);

    const float volume = getSystemVolume();
    const bool level = volume >= 0.0f && volume <= 1.0f;
    const bool code = volume == 2.0f || volume == 3.0f || volume == 4.0f;
    result("Kestrune getSystemVolume()",
           std::to_string(volume) + (level  ? " (the master volume)"
                                     : code ? " (no usable audio output here)"
                                            : ""),
           level || code);

    const char *address = getLocalIpAddress();
    result("Kestrune getLocalIPAddress()", address == nullptr ? "null" : address, address != nullptr);
  }

  void instanceCheck() {
    heading("single-instance checks");
    const auto quillon64 = bind<quillon::TIsAppRunningFn>(quillon64_, "isAppRunning");
    const auto quillon = bind<quillon::TIsAppRunningFn>(quillon_, "isAppRunning");
    const auto kestrune = bind<kestrune::TIsAppRunningFn>(kestrune_, "isAppRunning");
    int32_t running = quillon64();
    result("Quillon64 isAppRunning()", std::to_string(running) + " (no other instance: this process has it)",
           running == 0);
    running = quillon();
    result("Quillon isAppRunning()", std::to_string(running) + " (the same mutex: already held)",
           running == 1);
    running = kestrune();
    std::printf("\n");
    result("Kestrune isAppRunning()", std::to_string(running) + " (a mutex of its own)", running == 0);
    running = kestrune();
    result("Kestrune isAppRunning()", std::to_string(running) + " (now held by this process)", running == 1);
  }

  LoadedModule morvale_;
  LoadedModule kestrune_;
  LoadedModule quillon64_;
  LoadedModule quillon_;
  PeerClient peer_;
  std::string port_;
  int failures_ = 0;
};

} // namespace

int wmain(int argc, wchar_t **argv) {
  if (argc < 2) {
    std::printf("usage: SupportLibrariesDemo.exe FOLDER-OF-THE-DLLS\n");
    return 2;
  }
  try {
    return Demo(argv[1]).run();
  } catch (const std::exception &error) {
    std::printf("demo failed: %s\n", error.what());
    return 1;
  }
}
