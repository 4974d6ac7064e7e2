// The exports that write fixed byte strings to the scale without a command
// frame. A kind argument takes a 32-bit slot of which only the low 16 bits
// count.
#include "PondrexModule.h"
#include "RawWrites.h"

#include <cstdint>

using pondrex::TPSensor;
using pondrex::api::TScaleKey;
using pondrex::win::RunExport;
namespace api = pondrex::api;

extern "C" {

int32_t __stdcall ChangeProtocol(uint32_t kind) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ChangeProtocol(sensor, kind); });
}
int32_t __stdcall __ChangeProtocol(uint32_t kind) {
  return ChangeProtocol(kind);
}

int32_t __stdcall ChangePelqoProtocol(uint32_t kind) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ChangePelqoProtocol(sensor, kind); });
}
int32_t __stdcall __ChangePelqoProtocol(uint32_t kind) {
  return ChangePelqoProtocol(kind);
}

int32_t __stdcall SwitchProtocol(uint32_t kind) {
  return RunExport(0, [&](TPSensor &sensor) { return api::SwitchProtocol(sensor, kind); });
}
int32_t __stdcall __SwitchProtocol(uint32_t kind) {
  return SwitchProtocol(kind);
}

int32_t __stdcall IdentifyHard() {
  return RunExport(0, [](TPSensor &sensor) { return api::IdentifyHard(sensor); });
}
int32_t __stdcall __IdentifyHard() {
  return IdentifyHard();
}

int32_t __stdcall __KQTare() {
  return RunExport(0, [](TPSensor &sensor) { return api::KeyByte(sensor, TScaleKey::Tare); });
}
int32_t __stdcall __KQZero() {
  return RunExport(0, [](TPSensor &sensor) { return api::KeyByte(sensor, TScaleKey::Zero); });
}

// 1 when the scale answered without refusing, else 0.
int32_t __stdcall udeTare() {
  return RunExport(0, [](TPSensor &sensor) { return api::KeyText(sensor, TScaleKey::Tare); });
}
int32_t __stdcall uCleart() {
  return RunExport(0, [](TPSensor &sensor) { return api::KeyText(sensor, TScaleKey::Zero); });
}

// Always 1.
int32_t __stdcall __udeTare() {
  RunExport([](TPSensor &sensor) { api::KeyPairTwice(sensor, TScaleKey::Tare); });
  return 1;
}
int32_t __stdcall __uCleart() {
  RunExport([](TPSensor &sensor) { api::KeyPairTwice(sensor, TScaleKey::Zero); });
  return 1;
}

} // extern "C"
