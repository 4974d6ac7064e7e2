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
// temporary file or debug log that cannot be written) reports
// "Download Program fail" with 0, 0 and status 0 as its last report.
#pragma once

#include "TCallbackSlots.h"
#include "TDownloadProgramme.h"
#include "TPSensor.h"

#include <cstdint>

namespace pondrex::api {

// Texts are zero-terminated in the system code page; a null progress
// callback gives a silent download. Nothing is thrown. A call made from a
// progress report of a download in progress does nothing.
void DownloadProgramme(TPSensor &sensor, TDownloadProgramme &download, TCallbackSlots &slots,
                       const char *fileName, const char *portName, int32_t baudRate,
                       TDownloadProgressProc progress) noexcept;

} // namespace pondrex::api
