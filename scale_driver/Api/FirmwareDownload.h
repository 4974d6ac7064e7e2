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
// One download or price transfer runs at a time in the process: they
// borrow the one port (BorrowedLinkPort). The export claims the port at its
// entry, before it touches anything; a call made while a download or a
// price transfer runs leaves the running one alone and returns. It reports
// "Download Program fail" (0, 0, status 0) to its own callback, except in
// two cases where it returns without a report: when the calling thread's
// own download runs (the call comes from inside it, from a progress report
// or a message pumped in its waits, and that download's own last report
// stands), and when the call comes from inside such a refusal report on the
// same thread. A host that retries on every failure report, inside the
// report, would otherwise be refused and told so again, without end.
#pragma once

#include "BorrowedLinkPort.h"
#include "TCallbackSlots.h"
#include "TDownloadProgramme.h"
#include "TPSensor.h"

#include <cstdint>

namespace pondrex::api {

// The last report of a download that failed before or outside the driver's
// own steps: "Download Program fail", 0, 0, status 0; nothing for a null
// callback.
void ReportDownloadFailure(TDownloadProgressProc progress) noexcept;

// The answer to a call refused because the port is borrowed: the failure
// report, or none in the two cases above.
void ReportRefusedDownload(TDownloadProgressProc progress) noexcept;

// The frame of the export: runs run() (the download, with the driver objects
// that it finds) when nothing has borrowed the port, and answers the
// refusal otherwise.
template <typename Run> void RunOneDownload(TDownloadProgressProc progress, Run &&run) noexcept {
  const TExclusiveClaim claim(BorrowedLinkPort, TPortBorrower::Download);
  if (!claim.Held()) {
    ReportRefusedDownload(progress);
    return;
  }
  run();
}

// The download itself, run inside RunOneDownload, on any thread. sensor is
// the driver object, or null when none was made: there is then no link to
// close, and the port is taken as a serial port. Texts are zero-terminated
// in the system code page; a null progress callback gives a silent
// download. Nothing is thrown.
void DownloadProgramme(TPSensor *sensor, TDownloadProgramme &download, TCallbackSlots &slots,
                       const char *fileName, const char *portName, int32_t baudRate,
                       TDownloadProgressProc progress) noexcept;

} // namespace pondrex::api
