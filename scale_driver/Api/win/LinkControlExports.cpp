// The set-up and link-control exports. Every argument takes a 32-bit slot; a
// byte argument uses only the low 8 bits of its slot.
#include "CallbackRegistration.h"
#include "DriverText.h"
#include "LinkControl.h"
#include "PSensorGlobals.h"
#include "PondrexModule.h"
#include "SystemCodePage.h"
#include "TWinPlatform.h"

#include <cstdint>
#include <string>

using pondrex::CallbackSlots;
using pondrex::TPSensor;
using pondrex::win::RunExport;
namespace api = pondrex::api;

namespace {

void ConfigExport(int32_t retryCount, int32_t timeOutMs, uint32_t debug,
                  const api::TConfigCallbacks &callbacks, const uint32_t *routing) {
  RunExport([&](TPSensor &sensor) {
    if (routing == nullptr)
      api::Config(sensor.HecrLink1(), CallbackSlots, retryCount, timeOutMs, debug, callbacks);
    else
      api::ConfigRouted(sensor.HecrLink1(), CallbackSlots, retryCount, timeOutMs, debug, callbacks, *routing);
  });
}

// The slots need no driver object; a name that cannot be converted matches
// nothing.
void SetCallBackFuncExport(const char *name, uintptr_t proc, bool knowsRkvIs1Info) noexcept {
  try {
    api::SetCallBackFunc(CallbackSlots, api::DriverText(name), proc, knowsRkvIs1Info);
  } catch (...) {
  }
}

// The device list of the last call, which stays valid until the next one.
std::u16string wideDevices;
std::string narrowDevices;

} // namespace

extern "C" {

void __stdcall Config(int32_t retryCount, int32_t timeOutMs, uint32_t debug, uintptr_t sensorErr,
                      uintptr_t sensorInfo, uintptr_t opBoxInfo, uintptr_t leadInfo, uintptr_t is1Info,
                      uintptr_t temCompensateInfo) {
  ConfigExport(retryCount, timeOutMs, debug,
               {sensorErr, sensorInfo, opBoxInfo, leadInfo, is1Info, temCompensateInfo}, nullptr);
}

void __stdcall __Config(int32_t retryCount, int32_t timeOutMs, uint32_t debug, uintptr_t sensorErr,
                        uintptr_t sensorInfo, uintptr_t opBoxInfo, uintptr_t leadInfo, uintptr_t is1Info,
                        uintptr_t temCompensateInfo, uint32_t is1Routing) {
  ConfigExport(retryCount, timeOutMs, debug,
               {sensorErr, sensorInfo, opBoxInfo, leadInfo, is1Info, temCompensateInfo}, &is1Routing);
}

void __stdcall SetCallBackFunc(const char *name, uintptr_t proc) {
  SetCallBackFuncExport(name, proc, false);
}
void __stdcall __SetCallBackFunc(const char *name, uintptr_t proc) {
  SetCallBackFuncExport(name, proc, true);
}

int32_t __stdcall SetCommMode(uint32_t mode) {
  return RunExport(0, [&](TPSensor &sensor) { return api::SetCommMode(sensor.HecrLink1(), mode); });
}
int32_t __stdcall __SetCommMode(uint32_t mode) {
  return SetCommMode(mode);
}

int32_t __stdcall CloseDevice() {
  RunExport([](TPSensor &sensor) { api::CloseDevice(sensor.HecrLink1()); });
  return -1;
}
int32_t __stdcall __Close() {
  return CloseDevice();
}

int32_t __stdcall Connection(const char *ecrId) {
  return RunExport(0, [&](TPSensor &sensor) { return api::Connection(sensor.HecrLink1(), ecrId); });
}
int32_t __stdcall __Connection(const char *ecrId) {
  return Connection(ecrId);
}

int32_t __stdcall Disconnection(const char *ecrId) {
  return RunExport(0, [&](TPSensor &sensor) { return api::Disconnection(sensor.HecrLink1(), ecrId); });
}
int32_t __stdcall __Disconnection(const char *ecrId) {
  return Disconnection(ecrId);
}

int32_t __stdcall SetUsbDeviceStr(const char *deviceString) {
  RunExport([&](TPSensor &sensor) { api::SetUsbDeviceStr(sensor.HecrLink1(), deviceString); });
  return -1;
}
int32_t __stdcall __SetUsbDeviceStr(const char *deviceString) {
  return SetUsbDeviceStr(deviceString);
}

// -1 and the list (wide text) through the pointer when the link reports
// devices; otherwise 0, and the pointer is not written.
int32_t __stdcall EnumUsbDeviceStr(const wchar_t **devices) {
  return RunExport(0, [&](TPSensor &sensor) {
    const auto found = api::EnumUsbDevices(sensor.HecrLink1());
    if (!found)
      return 0;
    wideDevices = *found;
    if (devices != nullptr)
      *devices = reinterpret_cast<const wchar_t *>(wideDevices.c_str());
    return -1;
  });
}

// The same in single-byte text of the system code page.
int32_t __stdcall __EnumUsbDeviceStr(const char **devices) {
  return RunExport(0, [&](TPSensor &sensor) {
    const auto found = api::EnumUsbDevices(sensor.HecrLink1());
    if (!found)
      return 0;
    narrowDevices = pondrex::TextToSystemBytes(*found).value_or(std::string());
    if (devices != nullptr)
      *devices = narrowDevices.c_str();
    return -1;
  });
}

void __stdcall DoEvents() {
  try {
    api::DoEvents(pondrex::SystemPlatform());
  } catch (...) {
  }
  pondrex::win::SyncModuleHold();
}
void __stdcall __DoEvents() {
  DoEvents();
}

} // extern "C"
