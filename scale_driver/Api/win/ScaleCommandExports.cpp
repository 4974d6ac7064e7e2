// The scale-command exports that send one command and report whether the
// scale took it: -1 success, 0 failure. Every argument takes a 32-bit slot;
// a byte or 16-bit argument uses only the low 8 or 16 bits of its slot. The
// ECR ID (zero-terminated text of the system code page) comes last.
//
// The simple exports are rows of CommandExports (CommandSend.h), which says
// for each its command, how the argument enters the command code and how the
// scale answers; the macros below only give each row its exported names.
#include "CommandSend.h"
#include "PondrexModule.h"

#include <cstdint>

using pondrex::TPSensor;
using pondrex::win::RunExport;
namespace api = pondrex::api;

namespace {

int32_t SendRow(const api::TCommandExport &row, uint32_t parameterSlot, const char *ecrId) noexcept {
  return RunExport(
      0, [&](TPSensor &sensor) { return api::SendCommandExport(sensor, row, parameterSlot, ecrId); });
}

} // namespace

// exportName(ecrId) for the row rowName, which takes no argument.
#define PONDREX_SEND_EXPORT(exportName, rowName)                                                             \
  int32_t __stdcall exportName(const char *ecrId) {                                                          \
    constexpr const api::TCommandExport &row = api::CommandExportNamed(rowName);                             \
    static_assert(row.Parameter == api::TCommandParameter::None);                                            \
    return SendRow(row, 0, ecrId);                                                                           \
  }
// exportName(parameter, ecrId) for the row rowName, which takes one.
#define PONDREX_PARAMETER_EXPORT(exportName, rowName)                                                        \
  int32_t __stdcall exportName(uint32_t parameter, const char *ecrId) {                                      \
    constexpr const api::TCommandExport &row = api::CommandExportNamed(rowName);                             \
    static_assert(row.Parameter != api::TCommandParameter::None);                                            \
    return SendRow(row, parameter, ecrId);                                                                   \
  }
// The plain name and the name with "__" in front.
#define PONDREX_SEND_PAIR(name) PONDREX_SEND_EXPORT(name, #name) PONDREX_SEND_EXPORT(__##name, #name)
#define PONDREX_PARAMETER_PAIR(name)                                                                         \
  PONDREX_PARAMETER_EXPORT(name, #name) PONDREX_PARAMETER_EXPORT(__##name, #name)

extern "C" {

PONDREX_PARAMETER_PAIR(Frequency)
PONDREX_SEND_PAIR(Weight)
// __Zero and __Tare write a raw byte instead (below).
PONDREX_SEND_EXPORT(Zero, "Zero")
PONDREX_SEND_EXPORT(Tare, "Tare")
PONDREX_PARAMETER_PAIR(Taref)
PONDREX_SEND_PAIR(ZeroStudy)
PONDREX_SEND_PAIR(FullWeightStudy)
PONDREX_PARAMETER_PAIR(FullWeightf)
PONDREX_PARAMETER_PAIR(PrecisionValue)
PONDREX_SEND_PAIR(ClearTemperatureValue)
PONDREX_PARAMETER_PAIR(TemperatureExpiation)
PONDREX_PARAMETER_PAIR(SetUnitValue)
PONDREX_SEND_PAIR(LoginfactoryMode)
PONDREX_SEND_PAIR(LogoutfactoryMode)
PONDREX_SEND_PAIR(Getleadinfo)
PONDREX_SEND_PAIR(GetleadinfoEx)
PONDREX_SEND_PAIR(UnlockSafe)
PONDREX_SEND_PAIR(lockSafe)
PONDREX_SEND_PAIR(GetOpBoxInfo)
PONDREX_SEND_PAIR(Rehab)
PONDREX_SEND_PAIR(study25weight)
PONDREX_SEND_PAIR(Clearparameter)
PONDREX_SEND_PAIR(LinearityStudy)
PONDREX_SEND_PAIR(GetOpBoxCountryCode)
PONDREX_PARAMETER_PAIR(SetOpBoxCountryCode)
PONDREX_PARAMETER_PAIR(SetWindLevel)
PONDREX_SEND_PAIR(ResetOrigin)
PONDREX_SEND_PAIR(ExitTare)
PONDREX_SEND_EXPORT(__study13weight, "__study13weight")
PONDREX_SEND_EXPORT(__study23weight, "__study23weight")

// Gravity adjustment: the flag and the two city IDs are bytes, the two
// gravity values signed 32-bit.
int32_t __stdcall Adjust(uint32_t aFlag, uint32_t aCityId, int32_t aValue, uint32_t bCityId, int32_t bValue,
                         const char *ecrId) {
  return RunExport(0, [&](TPSensor &sensor) {
    return api::Adjust(sensor, aFlag, aCityId, aValue, bCityId, bValue, ecrId);
  });
}
int32_t __stdcall __Adjust(uint32_t aFlag, uint32_t aCityId, int32_t aValue, uint32_t bCityId, int32_t bValue,
                           const char *ecrId) {
  return Adjust(aFlag, aCityId, aValue, bCityId, bValue, ecrId);
}

// The number downloads: number is zero-terminated single-byte text, sent as
// it is in a field of 12 (sensor) or 13 bytes (scale); a longer number is
// cut to the field.
int32_t __stdcall SetSensorNo(const char *number, const char *ecrId) {
  return RunExport(0, [&](TPSensor &sensor) { return api::SetSensorNo(sensor, number, ecrId); });
}
int32_t __stdcall __SetSensorNo(const char *number, const char *ecrId) {
  return SetSensorNo(number, ecrId);
}
int32_t __stdcall SetScaleNo(const char *number, const char *ecrId) {
  return RunExport(0, [&](TPSensor &sensor) { return api::SetScaleNo(sensor, number, ecrId); });
}
int32_t __stdcall __SetScaleNo(const char *number, const char *ecrId) {
  return SetScaleNo(number, ecrId);
}

// Zero and tare as one raw byte (0xFD, 0xFE) without a frame; the one
// argument is not read.
int32_t __stdcall __Zero(uint32_t) {
  return RunExport(0, [](TPSensor &sensor) { return api::RawZeroOrTare(sensor, api::RawZeroByte); });
}
int32_t __stdcall __Tare(uint32_t) {
  return RunExport(0, [](TPSensor &sensor) { return api::RawZeroOrTare(sensor, api::RawTareByte); });
}

} // extern "C"
