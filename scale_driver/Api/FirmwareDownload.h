// DownloadProgramme and __DownloadProgramme: a firmware download through the
// port that the scale link uses. The link is closed for the download and
// opened again afterwards when it was open before, however the download
// ended; a link that was closed stays closed.
//
// The host learns the outcome from its progress callback: every report
// with status 0 is a failure, and the last report of a download is always
// "Download Program complete" (status 1), "waiting..." (status 3, USB
// printer ports) or a failure. A download that ends with an error of its
// own (an image that cannot be read or whose 8K part reaches beyond it, a
// temporary file that cannot be written) reports "Download Program fail"
// with 0, 0 and status 0 as its last report. A debug log that cannot be
// written changes nothing: the outcome is the boot loader's.
//
// One download runs at a time in the process: the bus and its serial
// component serve one. The export claims the download at its entry, before
// it touches anything; a call made while a download runs (from another
// thread, or from a progress report of that download) leaves the running
// download alone, reports "Download Program fail" (0, 0, status 0) to its
// own callback and returns.
#pragma once

#include "ExclusiveClaim.h"
#include "TCallbackSlots.h"
#include "TDownloadProgramme.h"
#include "TPSensor.h"

#include <atomic>
#include <cstdint>

namespace pondrex::api {

// Taken while a download runs.
extern std::atomic<bool> DownloadRunning;

// The last report of a download that failed before or outside the driver's
// own steps: "Download Program fail", 0, 0, status 0; nothing for a null
// callback.
void ReportDownloadFailure(TDownloadProgressProc progress) noexcept;

// The frame of the export: runs run() (the download, with the driver objects
// that it finds) when no download runs, and reports the refusal to progress
// otherwise.
template <typename Run> void RunOneDownload(TDownloadProgressProc progress, Run &&run) noexcept {
  const TExclusiveClaim claim(DownloadRunning);
  if (!claim.Held()) {
    ReportDownloadFailure(progress);
    return;
  }
  run();
}

// The download itself, run inside RunOneDownload. Texts are zero-terminated
// in the system code page; a null progress callback gives a silent
// download. Nothing is thrown.
void DownloadProgramme(TPSensor &sensor, TDownloadProgramme &download, TCallbackSlots &slots,
                       const char *fileName, const char *portName, int32_t baudRate,
                       TDownloadProgressProc progress) noexcept;

} // namespace pondrex::api
