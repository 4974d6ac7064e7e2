// The weighing link's serial port as the firmware download and the price
// and PLU transfers borrow it: each closes the link, runs its own serial
// component on the port and hands the port back. One claim covers them
// all, so that only one of them has the port at a time in the process: a
// download and a price transfer, or two of either, never open the one port
// twice or close and open the link over each other.
//
// The exports that borrow the port (the two download exports, SendPrice,
// DownLoadPlu and UpLoadPlu) claim it at their entry, before they touch
// anything; a refused call answers as each does for its kind (see
// RunOneDownload and RunOneTransfer).
#pragma once

#include "ExclusiveClaim.h"

#include <cstdint>

namespace pondrex::api {

// What has borrowed the port.
enum class TPortBorrower : uint8_t { Download, PriceTransfer };

// Taken while a download or a price transfer runs.
extern TExclusiveWork<TPortBorrower> BorrowedLinkPort;

} // namespace pondrex::api
