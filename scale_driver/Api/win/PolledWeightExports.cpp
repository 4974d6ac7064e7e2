// The exports that hand out the driver object's weight and measurement
// texts, and the two that ask the scale for a fresh weight frame. Returned
// texts are the library's (ReturnedText.h).
#include "PolledWeights.h"
#include "PondrexModule.h"
#include "ReturnedText.h"

#include <cstdint>
#include <string>

using pondrex::TPSensor;
using pondrex::win::NarrowTextResult;
using pondrex::win::RunExport;
using pondrex::win::WideTextResult;
namespace api = pondrex::api;

namespace {

// The last text of each export.
std::string getWeightText, twinGetWeightText, twinGetWeightPBText, twinUdeWeightText;
std::u16string getWeightPBText, udeWeightText;

} // namespace

extern "C" {

const char *__stdcall GetWeight() {
  return NarrowTextResult(getWeightText, api::TakeWeightText);
}
const char *__stdcall __GetWeight() {
  return NarrowTextResult(twinGetWeightText, api::TakeWeightText);
}

// Writes at most 35 bytes.
int32_t __stdcall GetWeightEx(char *buffer) {
  return RunExport(0, [&](TPSensor &sensor) { return api::TakeWeightTextInto(sensor, buffer); });
}
int32_t __stdcall __GetWeightEx(char *buffer) {
  return GetWeightEx(buffer);
}

const wchar_t *__stdcall GetWeightPB() {
  return WideTextResult(getWeightPBText, api::TakeMeasurementText);
}
const char *__stdcall __GetWeightPB() {
  return NarrowTextResult(twinGetWeightPBText, api::TakeMeasurementText);
}

const wchar_t *__stdcall udeWeight() {
  return WideTextResult(udeWeightText, api::RequestWeight);
}
const char *__stdcall __udeWeight() {
  return NarrowTextResult(twinUdeWeightText, api::RequestWeightTwoPhases);
}

} // extern "C"
