// The scale-command exports that hand data back: -1 success, 0 failure
// (the identity reads with an out text: whether a text came back). The
// ECR ID (zero-terminated text of the system code page) comes first, the
// output second.
//
// Texts that the host receives belong to the library; the host never frees
// them. Buffers are the host's: the exports take no size and write at most:
//   __ReadTare      32 bytes (the tare text, at most 31 bytes, and a zero byte)
//   __GetSensorNo   13 bytes
//   __GetScaleNo    14 bytes
//   __GetWindLevel  15 bytes
// A text that would not fit is cut after its last whole character.
#include "CallerText.h"
#include "PondrexModule.h"
#include "ScaleReads.h"
#include "TemperatureTableWrite.h"

#include <windows.h>

#include <cstdint>

using pondrex::TPSensor;
using pondrex::win::RunExport;
namespace api = pondrex::api;

namespace {

// The texts of the identity reads. Their memory comes from the process heap
// and is never freed, so a text stays valid for the life of the process,
// also after the host has freed the library; equal texts share one copy.
api::TLifetimeTexts &IdentityTexts() {
  static api::TLifetimeTexts texts(
      [](size_t bytes) { return static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, bytes)); });
  return texts;
}

int32_t IdentityExport(api::TIdentity identity, const char *ecrId, const char **text) noexcept {
  if (text != nullptr)
    *text = nullptr;
  return RunExport(
      0, [&](TPSensor &sensor) { return api::ReadIdentity(sensor, identity, ecrId, IdentityTexts(), text); });
}

int32_t IdentityIntoExport(api::TIdentity identity, const char *ecrId, char *buffer) noexcept {
  return RunExport(0,
                   [&](TPSensor &sensor) { return api::ReadIdentityInto(sensor, identity, ecrId, buffer); });
}

} // namespace

extern "C" {

// The measurement read; *tare receives the driver's own tare text (UTF-16,
// zero-terminated), or null when there is none, whatever the read's result.
// The text stays valid until the tare next changes (the next measurement or
// weight frame that brings one).
int32_t __stdcall ReadTare(const char *ecrId, const wchar_t **tare) {
  return RunExport(0, [&](TPSensor &sensor) {
    const char16_t *text = nullptr;
    const int32_t result = api::ReadTare(sensor, ecrId, &text);
    if (tare != nullptr)
      *tare = reinterpret_cast<const wchar_t *>(text);
    return result;
  });
}

// The tare text in the caller's buffer: at most 32 bytes, the zero byte
// included. Once a weight frame has carried a tare, nothing is sent.
int32_t __stdcall __ReadTare(const char *ecrId, char *buffer) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ReadTareInto(sensor, ecrId, buffer); });
}

// The ECR ID, sensor number and scale number as new texts of the library,
// valid for the life of the process; null and 0 when none came back.
int32_t __stdcall GetEcrId(const char *ecrId, const char **text) {
  return IdentityExport(api::TIdentity::EcrId, ecrId, text);
}
int32_t __stdcall __GetEcrId(const char *ecrId, const char **text) {
  return GetEcrId(ecrId, text);
}
int32_t __stdcall GetSensorNo(const char *ecrId, const char **text) {
  return IdentityExport(api::TIdentity::SensorNo, ecrId, text);
}
int32_t __stdcall GetScaleNo(const char *ecrId, const char **text) {
  return IdentityExport(api::TIdentity::ScaleNo, ecrId, text);
}

// The sensor number (at most 13 bytes) and the scale number (at most 14
// bytes) in the caller's buffer; on failure the buffer is left untouched.
int32_t __stdcall __GetSensorNo(const char *ecrId, char *buffer) {
  return IdentityIntoExport(api::TIdentity::SensorNo, ecrId, buffer);
}
int32_t __stdcall __GetScaleNo(const char *ecrId, char *buffer) {
  return IdentityIntoExport(api::TIdentity::ScaleNo, ecrId, buffer);
}

// The wind level as decimal text in the caller's buffer, at most 15 bytes.
int32_t __stdcall __GetWindLevel(const char *ecrId, char *buffer) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ReadWindLevel(sensor, ecrId, buffer); });
}

// The OP box temperature-compensation table: read in four packets and handed
// to TEMCOMPENSATEINFO.
int32_t __stdcall Temperatureex(const char *ecrId) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ReadTemperatureTable(sensor, ecrId); });
}
int32_t __stdcall __Temperatureex(const char *ecrId) {
  return Temperatureex(ecrId);
}

// The table written from the file fileName (zero-terminated UTF-16) in
// blocks of 32 bytes; 0, with nothing sent, when the file cannot be read.
int32_t __stdcall SetTemperatureex(const wchar_t *fileName, const char *ecrId) {
  return RunExport(0, [&](TPSensor &sensor) {
    return api::WriteTemperatureTableFile(sensor, reinterpret_cast<const char16_t *>(fileName), ecrId);
  });
}
int32_t __stdcall __SetTemperatureex(const wchar_t *fileName, const char *ecrId) {
  return SetTemperatureex(fileName, ecrId);
}

} // extern "C"
