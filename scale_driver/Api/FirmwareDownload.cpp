#include "FirmwareDownload.h"

#include "DriverText.h"

namespace pondrex::api {

void DownloadProgramme(TPSensor &sensor, TDownloadProgramme &download, TCallbackSlots &slots,
                       const char *fileName, const char *portName, int32_t baudRate,
                       TDownloadProgressProc progress) noexcept {
  if (download.Running())
    return;
  slots.DownloadProgressProc = progress;
  THecrLink &link = sensor.HecrLink1();
  const bool wasActive = link.Active();
  try {
    if (wasActive)
      link.Close();
    download.Execute(DriverText(fileName), DriverText(portName), baudRate, link.Mode());
  } catch (...) {
    try {
      download.ReportFailure();
    } catch (...) {
    }
  }
  if (wasActive) {
    try {
      link.Open();
    } catch (...) {
    }
  }
}

} // namespace pondrex::api
