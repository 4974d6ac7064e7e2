#include "PondrexModule.h"

#include "PSensorGlobals.h"
#include "TWinPlatform.h"

#include <windows.h>

#include <filesystem>
#include <string>

namespace pondrex::win {

namespace {

// The reference that the library holds to itself while the port is open.
HMODULE heldModule = nullptr;

bool SerialPortOpen() {
  return (GlobalSensor && GlobalSensor->HecrLink1().Comm().IsOpen()) ||
         (GlobalFtpBusComm && GlobalFtpBusComm->PortOpen());
}

// Leaves the price bus to the system, as the driver object is left when its
// serial threads may still run or the process ends.
void LeavePriceBus() {
  if (GlobalFtpBusComm) {
    [[maybe_unused]] auto *left = new std::shared_ptr<TFTPBusComm>(std::move(GlobalFtpBusComm));
  }
}

// The debug log of the firmware bus: ".\DEBUG.LOG" after the folder of the
// host's executable.
std::filesystem::path HostDebugLogFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::filesystem::path(L".\\DEBUG.LOG");
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path.substr(0, path.find_last_of(L"\\/") + 1) + L".\\DEBUG.LOG");
}

} // namespace

// At unload (not at process end): frees the price bus and the driver
// object, whose ports are closed by then, and after them the download front
// end, which has a bus only inside a download.
void UnloadDriver() {
  if (SerialPortOpen()) {
    // Only when taking the reference failed: the serial threads run on and
    // cannot be stopped here, so the objects they use are left alone.
    LeavePriceBus();
    [[maybe_unused]] TPSensor *left = GlobalSensor.release();
  } else {
    FreePriceBus();
    if (GlobalSensor)
      FinalizePSensor();
  }
  if (GlobalDownloadProgramme) {
    if (GlobalDownloadProgramme->UProgramme1().Bus() != nullptr) {
      // A download that has not ended (on another thread) holds its bus,
      // whose port and window are that thread's: the same.
      [[maybe_unused]] TDownloadProgramme *left = GlobalDownloadProgramme.release();
    } else {
      FinalizeDownloadProgramme();
    }
  }
}

// The download front end first, then the driver object, on the thread of
// the first export of the weighing link.
TPSensor &Driver() {
  DownloadFrontEnd();
  return InitializePSensor(SystemPlatform());
}

TPSensor *ExistingDriver() noexcept {
  return GlobalSensor.get();
}

TDownloadProgramme &DownloadFrontEnd() {
  return InitializeDownloadProgramme(SystemPlatform(), HostDebugLogFile());
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
      [[maybe_unused]] pondrex::TDownloadProgramme *download = pondrex::GlobalDownloadProgramme.release();
      pondrex::win::LeavePriceBus();
    } else {
      pondrex::win::UnloadDriver();
    }
  }
  return TRUE;
}
