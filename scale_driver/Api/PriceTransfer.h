// The price and PLU exports' work: their arguments converted, the transfer
// (TPriceTransfer) run on the process-wide driver object and price bus.
//
// Without a bus (before CreateComm) and for a file name that is null or
// empty, a transfer fails at once: the link, the port and the scale are left
// alone.
//
// One transfer or firmware download runs at a time in the process: they
// borrow the one port (BorrowedLinkPort). The exports claim the port at
// their entry, before they touch anything; a call made while a transfer or
// a download runs (from another thread, from the host's window procedure
// during a transfer's wait, or from a download's progress report) fails at
// once and leaves the running one alone.
#pragma once

#include "BorrowedLinkPort.h"
#include "IPlatform.h"
#include "TPSensor.h"

#include <cstdint>

namespace pondrex::api {

// The frame of the transfer exports: run() when nothing has borrowed the
// port, else refused at once.
template <typename Result, typename Run> Result RunOneTransfer(Result refused, Run &&run) {
  const TExclusiveClaim claim(BorrowedLinkPort, TPortBorrower::PriceTransfer);
  if (!claim.Held())
    return refused;
  return run();
}

// SetRecvHandle: the window that receives the current bus's weight reports;
// nothing without a bus.
void SetRecvHandle(THostWindow window);

// SendPrice: -1 when the scale took the price, else 0 (TPriceTransfer::SendPrice).
int16_t SendPrice(TPSensor &sensor, double price);
// DownLoadPlu: 1 when the scale took the file's table, else 0
// (TPriceTransfer::DownLoadPlu). fileName in the system code page.
uint8_t DownLoadPlu(TPSensor &sensor, const char *fileName);
// UpLoadPlu: 1 when the scale's table was read into the file, else 0
// (TPriceTransfer::UpLoadPlu). fileName in the system code page.
uint8_t UpLoadPlu(TPSensor &sensor, const char *fileName);

} // namespace pondrex::api
