// Whether the cash-register application's single-instance mutex already
// exists; the first call that finds it missing creates it for the process.
#include "KestruneExports.h"

#include <windows.h>

#include <cstdio>

namespace {

// The process's handle to the mutex, kept until the process ends so that the
// mutex lives as long as the process. Later calls get handles of their own
// to the same mutex; those are closed again.
HANDLE HeldMutex = nullptr;

} // namespace

extern "C" int32_t KestruneIsAppRunning() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "windows_cashRegister");
  const DWORD error = GetLastError();
  if (mutex != nullptr) {
    if (HeldMutex == nullptr) {
      HeldMutex = mutex;
    } else {
      CloseHandle(mutex);
    }
  }
  if (mutex != nullptr && error == ERROR_ALREADY_EXISTS) {
    std::printf("CreateMutex ERROR_ALREADY_EXISTS (%lu)\n", error);
    return 1;
  }
  std::printf("CreateMutex not_exist");
  return 0;
}
