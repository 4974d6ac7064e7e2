// The life of the library in a host process, and the frame of every export.
//
// Loading does no work: the firmware download front end and then the driver
// object are made by the first export that needs them, so that no window
// is created, no thread started and nothing waited for while the system's
// loader lock is held. The driver object's link has the hidden window of
// its serial component, which belongs to the thread that makes it: the
// exports of the weighing link make it, on the thread on which the host
// uses the link. The exports that may run on any thread (the firmware
// download, the price bus and its transfers) never make it: they use it
// when it exists, and their own serial components and timers are made and
// freed on their calling thread inside each download or transfer.
//
// While the scale link's serial port is open, the library holds a reference
// to itself. A host that frees the library with the port still open thus
// leaves it loaded, with its read and write threads running in code that is
// still there, instead of unmapping code that those threads execute; the
// reference goes when an export finds the port closed (CloseDevice, for
// one). So at unload the port is always closed, and freeing the driver
// object needs no wait: the serial threads cannot be joined under the loader
// lock, since a thread that ends needs that lock itself. When the process
// is ending, the system has already stopped every other thread and nothing
// is freed.
#pragma once

#include "TDownloadProgramme.h"
#include "TPSensor.h"

#include <exception>

namespace pondrex::win {

// The driver object, made on the first call after the download front end;
// throws when either cannot be made.
TPSensor &Driver();
// The driver object when an export has made it, else null; makes nothing.
TPSensor *ExistingDriver() noexcept;
// The download front end, made on the first call; throws when it cannot be
// made.
TDownloadProgramme &DownloadFrontEnd();

// Takes or drops the library's reference to itself as the serial port of
// the scale link is open or not. Every export that may open or close the
// port runs it last (RunExport does).
void SyncModuleHold();

// DLL_PROCESS_DETACH of a library that the host frees: frees the driver
// object, then the download front end.
void UnloadDriver();

// Runs the body of an export with the driver object and returns its result.
// Nothing is thrown into the host: an error that escapes the body gives
// onFailure.
template <typename Result, typename Body> Result RunExport(Result onFailure, Body &&body) noexcept {
  Result result = onFailure;
  try {
    result = body(Driver());
  } catch (...) {
  }
  SyncModuleHold();
  return result;
}

template <typename Body> void RunExport(Body &&body) noexcept {
  try {
    body(Driver());
  } catch (...) {
  }
  SyncModuleHold();
}

// The same for the exports that may run on any thread: the body gets the
// driver object only when it exists (else null), so that such a call never
// puts the weighing link's window on its thread.
template <typename Result, typename Body> Result RunAnyThreadExport(Result onFailure, Body &&body) noexcept {
  Result result = onFailure;
  try {
    result = body(ExistingDriver());
  } catch (...) {
  }
  SyncModuleHold();
  return result;
}

template <typename Body> void RunAnyThreadExport(Body &&body) noexcept {
  try {
    body(ExistingDriver());
  } catch (...) {
  }
  SyncModuleHold();
}

} // namespace pondrex::win
