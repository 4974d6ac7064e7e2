#include "FirmwareDownload.h"

#include "DriverText.h"
#include "ScopeExit.h"

namespace pondrex::api {

void ReportDownloadFailure(TDownloadProgressProc progress) noexcept {
  if (progress != nullptr)
    progress(0, 0, TUProgrammeEventAge::Failed, "Download Program fail");
}

void ReportRefusedDownload(TDownloadProgressProc progress) noexcept {
  // The calling thread's own download runs: its last report stands.
  if (BorrowedLinkPort.RunningOnThisThread() == TPortBorrower::Download)
    return;
  // One refusal report at a time on a thread: a call refused inside it
  // gets none.
  thread_local bool reporting = false;
  if (reporting)
    return;
  reporting = true;
  const TScopeExit reported([] { reporting = false; });
  ReportDownloadFailure(progress);
}

void DownloadProgramme(TPSensor *sensor, TDownloadProgramme &download, TCallbackSlots &slots,
                       const char *fileName, const char *portName, int32_t baudRate,
                       TDownloadProgressProc progress) noexcept {
  slots.DownloadProgressProc = progress;
  THecrLink *link = sensor != nullptr ? &sensor->HecrLink1() : nullptr;
  const bool wasActive = link != nullptr && link->Active();
  try {
    if (wasActive)
      link->Close();
    download.Execute(DriverText(fileName), DriverText(portName), baudRate,
                     link != nullptr ? link->Mode() : TCommunicationMode::cmCOM);
  } catch (...) {
    ReportDownloadFailure(progress);
  }
  if (wasActive) {
    try {
      link->Open();
    } catch (...) {
    }
  }
}

} // namespace pondrex::api
