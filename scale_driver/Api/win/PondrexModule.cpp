#include "PondrexModule.h"

#include "PSensorGlobals.h"
#include "PriceTransfer.h"
#include "TWinPlatform.h"

#include <windows.h>

namespace pondrex::win {

namespace {

// The reference that the library holds to itself while the port is open.
HMODULE heldModule = nullptr;

bool SerialPortOpen() {
  return (GlobalSensor && GlobalSensor->HecrLink1().Comm().IsOpen()) ||
         (GlobalFtpBusComm && GlobalFtpBusComm->Comm().IsOpen());
}

// Leaves the price bus to the system, as the driver object is left when its
// serial threads may still run or the process ends.
void LeavePriceBus() {
  if (GlobalFtpBusComm) {
    [[maybe_unused]] auto *left = new std::shared_ptr<TFTPBusComm>(std::move(GlobalFtpBusComm));
  }
}

} // namespace

// At unload (not at process end): frees the price bus and the driver
// object, whose ports are closed by then.
void UnloadDriver() {
  if (SerialPortOpen()) {
    // Only when taking the reference failed: the serial threads run on and
    // cannot be stopped here, so the objects they use are left alone.
    LeavePriceBus();
    [[maybe_unused]] TPSensor *left = GlobalSensor.release();
    return;
  }
  api::FreePriceBus();
  if (GlobalSensor)
    FinalizePSensor();
}

// The firmware-download front end, once the library has one, is made here
// just before the driver object, and freed in UnloadDriver just after it.
TPSensor &Driver() {
  return InitializePSensor(SystemPlatform());
}

void SyncModuleHold() {
  const bool open = SerialPortOpen();
  if (open && heldModule == nullptr) {
    HMODULE self = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&SyncModuleHold),
                           &self))
      heldModule = self;
  } else if (!open && heldModule != nullptr) {
    // The host holds the library too (it is calling it), so this does not
    // unload it.
    HMODULE self = heldModule;
    heldModule = nullptr;
    FreeLibrary(self);
  }
}

} // namespace pondrex::win

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH) {
    if (reserved != nullptr) {
      // The process ends: the other threads are gone, and the system takes
      // back memory, handles and windows.
      [[maybe_unused]] pondrex::TPSensor *left = pondrex::GlobalSensor.release();
      pondrex::win::LeavePriceBus();
    } else {
      pondrex::win::UnloadDriver();
    }
  }
  return TRUE;
}
