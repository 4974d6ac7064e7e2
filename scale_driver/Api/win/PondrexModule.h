// The life of the library in a host process, and the frame of every export.
//
// Loading does no work: the firmware download front end and then the driver
// object, with the hidden windows of their serial components and the
// download's timer, are made by the first export that needs them, on the
// calling thread. The host makes every call on the thread that loaded the
// library, so the window belongs to that thread, as it would had it been
// made at load; and no window is created, no thread started and nothing
// waited for while the system's loader lock is held.
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

#include "TPSensor.h"

#include <exception>

namespace pondrex::win {

// The driver object, made on the first call after the download front end;
// throws when either cannot be made.
TPSensor &Driver();

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

} // namespace pondrex::win
