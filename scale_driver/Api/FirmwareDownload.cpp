#include "FirmwareDownload.h"

#include "DriverText.h"

namespace pondrex::api {

std::atomic<bool> DownloadRunning{false};

void ReportDownloadFailure(TDownloadProgressProc progress) noexcept {
  if (progress != nullptr)
    progress(0, 0, TUProgrammeEventAge::Failed, "Download Program fail");
}

void DownloadProgramme(TPSensor &sensor, TDownloadProgramme &download, TCallbackSlots &slots,
                       const char *fileName, const char *portName, int32_t baudRate,
                       TDownloadProgressProc progress) noexcept {
  slots.DownloadProgressProc = progress;
  THecrLink &link = sensor.HecrLink1();
  const bool wasActive = link.Active();
  try {
    if (wasActive)
      link.Close();
    download.Execute(DriverText(fileName), DriverText(portName), baudRate, link.Mode());
  } catch (...) {
    ReportDownloadFailure(progress);
  }
  if (wasActive) {
    try {
      link.Open();
    } catch (...) {
    }
  }
}

} // namespace pondrex::api
