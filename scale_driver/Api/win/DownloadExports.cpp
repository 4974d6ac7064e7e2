// The firmware download exports. They take the image's file name and the
// port name (zero-terminated texts of the system code page), the baud rate
// and the host's progress callback, and return when the download has ended;
// the callback hears of every step and of the outcome, on the calling
// thread (any thread), inside the call.
#include "FirmwareDownload.h"
#include "PSensorGlobals.h"
#include "PondrexModule.h"

#include <cstdint>

using pondrex::TPSensor;
using pondrex::win::RunAnyThreadExport;
namespace api = pondrex::api;

namespace {

void DownloadExport(const char *fileName, const char *portName, int32_t baudRate,
                    pondrex::TDownloadProgressProc progress) noexcept {
  // The port is claimed first, so that a call refused because another
  // download or a price transfer runs touches nothing of it.
  api::RunOneDownload(progress, [&] {
    bool ran = false;
    // Any thread: the driver object is used when it exists, never made here.
    RunAnyThreadExport([&](TPSensor *sensor) {
      pondrex::TDownloadProgramme &download = pondrex::win::DownloadFrontEnd();
      ran = true;
      api::DownloadProgramme(sensor, download, pondrex::CallbackSlots, fileName, portName, baudRate,
                             progress);
    });
    // The front end could not be made: the download failed before it began.
    if (!ran)
      api::ReportDownloadFailure(progress);
  });
}

} // namespace

extern "C" {

void __stdcall DownloadProgramme(const char *fileName, const char *portName, int32_t baudRate,
                                 pondrex::TDownloadProgressProc progress) {
  DownloadExport(fileName, portName, baudRate, progress);
}
void __stdcall __DownloadProgramme(const char *fileName, const char *portName, int32_t baudRate,
                                   pondrex::TDownloadProgressProc progress) {
  DownloadExport(fileName, portName, baudRate, progress);
}

} // extern "C"
