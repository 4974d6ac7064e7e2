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
// a transfer started while another runs) fail at once: the link, the port
// and the scale are left alone.
//
// Everything runs on the thread that made the bus; the waits pump its
// messages, so weight reports reach the host window during a transfer.
#pragma once

#include "TFTPBusComm.h"
#include "TPSensor.h"

#include <cstdint>
#include <memory>

namespace pondrex {

// The current price bus of the process: none until CreateComm. A transfer
// holds on to the bus it started with, should the host make a new one
// meanwhile.
extern std::shared_ptr<TFTPBusComm> GlobalFtpBusComm;

namespace api {

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
// is negative, not a number or above 42949672.95.
int16_t SendPrice(TPSensor &sensor, double price);
// DownLoadPlu: the slots of the file, then empty slots up to 70, each as
// unit code and 3-byte price to F9:00E0 + 4 * (slot - 1). 1 on success,
// else 0; 0 at once when the file cannot be read or holds a line that is
// no PLU, or more lines than slots.
uint8_t DownLoadPlu(TPSensor &sensor, const char *fileName);
// UpLoadPlu: reads the 70 slots (45 ms apart) and, once all came, puts the
// table in the file's place as 70 lines. 1 on success, else 0; the file is
// left as it was when the table could not be read or written.
uint8_t UpLoadPlu(TPSensor &sensor, const char *fileName);

} // namespace api
} // namespace pondrex
