// The process-wide objects of the scale driver, reached by the exports
// through these names: the one driver object, the shared codec with which it
// decodes its short replies, the firmware download front end, the price bus,
// the callback slots and the flags that the link shares with the open
// exports.
//
// The slots and the flags are plain data, empty (zero) when the library is
// loaded. Of the objects, only the driver object holds windows (its link's
// serial component): it belongs to the thread that makes it. The download
// front end and the price bus hold none between their transfers, which
// make their serial components and timers on the thread that runs them.
#pragma once

#include "IPlatform.h"
#include "TCallbackSlots.h"
#include "TDownloadProgramme.h"
#include "TFTPBusComm.h"
#include "TLinkProcessFlags.h"
#include "TPSensor.h"
#include "TPelqoencode.h"

#include <filesystem>
#include <memory>

namespace pondrex {

// The driver object every export works on; null before InitializePSensor.
extern std::unique_ptr<TPSensor> GlobalSensor;
// The shared codec: made by each driver object's construction and freed by
// its destruction; the export that creates the price bus puts a fresh one in
// its place.
extern std::unique_ptr<TPelqoencode> GlobalEncoding;
// The host's callbacks and the Java callbacks; they outlive any driver
// object.
extern TCallbackSlots CallbackSlots;
// FramedReplySeen, Is1FrameSeen, UsbScaleFound, UsbPrnPortOpened.
extern TLinkProcessFlags ProcessFlags;
// The firmware download front end; null before InitializeDownloadProgramme.
extern std::unique_ptr<TDownloadProgramme> GlobalDownloadProgramme;

// The current price bus of the process: none until CreatePriceBus. A
// transfer holds on to the bus it started with, should the host make a new
// one meanwhile.
extern std::shared_ptr<TFTPBusComm> GlobalFtpBusComm;

// Makes GlobalSensor on the calling thread, unless it exists; its hidden
// serial window belongs to that thread.
TPSensor &InitializePSensor(IPlatform &platform);
// Frees GlobalSensor when it is set.
void FinalizePSensor();

// Makes GlobalDownloadProgramme unless it exists. Made before the driver
// object and freed after it.
TDownloadProgramme &InitializeDownloadProgramme(IPlatform &platform,
                                                const std::filesystem::path &debugLogFile);
// Frees GlobalDownloadProgramme when it is set.
void FinalizeDownloadProgramme();

// A new bus (2400 baud, RetryCount 4, RetryInterval 1000 ms, inactive)
// becomes the current one, and a new codec with default settings the shared
// codec.
void CreatePriceBus(IPlatform &platform);
// Frees the current bus (at unload).
void FreePriceBus();

} // namespace pondrex
