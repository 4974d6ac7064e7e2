// The price and PLU transfers with a price-computing scale, as the five
// price exports do them on the process-wide objects.
//
// The scale is the one on the weighing link: a transfer borrows the link's
// serial port. It closes the link, runs the price bus at 9600 baud on the
// link's port name (44, then 11 00 00 00 00 EF), does its work, ends with
// 33 00 00 00 00 CD, closes the bus and opens the link again. When the scale
// does not acknowledge a frame after the bus's retries, the bus is closed
// and the link stays closed (the host reopens it); when anything else goes
// wrong once the link was closed (the port cannot be opened, the file cannot
// be written), the bus is closed and the link opened again.
//
// Bad arguments (no bus, a price or a PLU file that the scale cannot take,
// a PLU file that cannot be replaced) fail at once: the link, the port and
// the scale are left alone.
//
// One transfer runs at a time in the process. The exports claim the
// transfer at their entry, before they touch anything; a call made while a
// transfer runs (from another thread, or from the host's window procedure
// during a transfer's wait) fails at once and leaves the running transfer
// alone.
//
// Everything runs on the thread that made the bus; the waits pump its
// messages, so weight reports reach the host window during a transfer.
#pragma once

#include "ExclusiveClaim.h"
#include "TFTPBusComm.h"
#include "TPSensor.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace pondrex {

// The current price bus of the process: none until CreateComm. A transfer
// holds on to the bus it started with, should the host make a new one
// meanwhile.
extern std::shared_ptr<TFTPBusComm> GlobalFtpBusComm;

namespace api {

// Taken while a transfer runs.
extern std::atomic<bool> TransferRunning;

// The frame of the transfer exports: run() when no transfer runs, else
// refused at once.
template <typename Result, typename Run> Result RunOneTransfer(Result refused, Run &&run) {
  const TExclusiveClaim claim(TransferRunning);
  if (!claim.Held())
    return refused;
  return run();
}

// CreateComm: a new bus (2400 baud, RetryCount 4, RetryInterval 1000 ms,
// inactive) becomes the current one, and a new codec with default settings
// the driver's shared codec.
void CreatePriceBus(IPlatform &platform);
// SetRecvHandle: the window that receives the current bus's weight reports;
// nothing without a bus.
void SetRecvHandle(THostWindow window);
// Frees the current bus (at unload).
void FreePriceBus();

// SendPrice: the price in hundredths (rounded half to even) as 4 bytes to
// RAM area F9, address 0. -1 on success, else 0; 0 at once for a price that
// is not a number or whose hundredths, once rounded, are below 0 or above
// 4294967295 (so -0.004 sends 0).
int16_t SendPrice(TPSensor &sensor, double price);
// DownLoadPlu: the slots of the file, then empty slots up to 70, each as
// unit code and 3-byte price to F9:00E0 + 4 * (slot - 1). 1 on success,
// else 0; 0 at once when the file cannot be read or holds a line that is
// no PLU, or more lines than slots.
uint8_t DownLoadPlu(TPSensor &sensor, const char *fileName);
// UpLoadPlu: reads the 70 slots (45 ms apart) and, once the whole transfer
// succeeded, its closing frame included, puts the table in the file's place
// as 70 lines. 1 on success, else 0; the file is left as it was when the
// table could not be read or written. 0 at once, nothing sent, when the
// file cannot be replaced (TPluFileReplacement).
uint8_t UpLoadPlu(TPSensor &sensor, const char *fileName);

} // namespace api
} // namespace pondrex
