// The two exports that open the scale link and check that a scale answers.
#include "OpenScale.h"
#include "PondrexModule.h"

#include <cstdint>

using pondrex::TPSensor;
using pondrex::win::RunExport;

extern "C" {

int32_t __stdcall OpenDevice(const char *port, int32_t rate) {
  return RunExport(0, [&](TPSensor &sensor) { return pondrex::api::OpenDevice(sensor, port, rate); });
}

int32_t __stdcall __Open(const char *port, int32_t rate) {
  return RunExport(0,
                   [&](TPSensor &sensor) { return pondrex::api::OpenWithDoubleRequest(sensor, port, rate); });
}

} // extern "C"
