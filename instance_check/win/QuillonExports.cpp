// Quillon64.dll and Quillon.dll: the single-instance check of the
// cash-register application on a named mutex that the first caller creates,
// owns and keeps.
#include <windows.h>

#include <cstdint>
#include <cstdio>

extern "C" int32_t QuillonIsAppRunning();

extern "C" int32_t QuillonIsAppRunning() {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "fs_windows_cashRegister");
  if (mutex == nullptr) {
    std::printf("CreateMutex failed with error: %lu\n", GetLastError());
    return 1;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    std::printf("Application is already running.\n");
    CloseHandle(mutex);
    return 1;
  }
  // The handle stays open, and the mutex owned, until the process ends.
  std::printf("Application is starting for the first time.\n");
  return 0;
}
