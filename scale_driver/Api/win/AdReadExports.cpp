// The exports that read the scale's raw converter values (AD values) and its
// version. Each buffer receives at most 6 bytes; returned texts are the
// library's (ReturnedText.h). __GetCurrentAD and __GetTareAD always return a
// text: an empty one when the wait for the value ran out, so that a host that
// reads the result as a string never meets a null pointer.
#include "AdReads.h"
#include "PondrexModule.h"
#include "ReturnedText.h"

#include <cstdint>
#include <optional>
#include <string>

using pondrex::TPSensor;
using pondrex::api::TAdText;
using pondrex::win::NarrowTextResult;
using pondrex::win::RunExport;
namespace api = pondrex::api;

namespace {

std::string currentAdText, tareAdText;

std::optional<std::u16string> AdTextOrEmpty(TPSensor &sensor, TAdText which) {
  return api::ReadAdText(sensor, which).value_or(std::u16string());
}

} // namespace

extern "C" {

const char *__stdcall __GetCurrentAD() {
  return NarrowTextResult(currentAdText,
                          [](TPSensor &sensor) { return AdTextOrEmpty(sensor, TAdText::Current); });
}
const char *__stdcall __GetTareAD() {
  return NarrowTextResult(tareAdText, [](TPSensor &sensor) { return AdTextOrEmpty(sensor, TAdText::Tare); });
}

int32_t __stdcall __ReadFullAD(char *fullAd) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ReadFullAD(sensor, fullAd); });
}
int32_t __stdcall __ReadMultiAD(char *zeroAd, char *version, char *fullAd) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ReadMultiAD(sensor, zeroAd, version, fullAd); });
}
int32_t __stdcall __ReadTZAD(char *zeroAd, char *tareAd) {
  return RunExport(0, [&](TPSensor &sensor) { return api::ReadTZAD(sensor, zeroAd, tareAd); });
}

} // extern "C"
