#include "SerialTestSupport.h"

#include <psapi.h>
#include <tlhelp32.h>

namespace pos::test {

void PumpOnce() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpOnce();
    if (done()) {
      return true;
    }
    if (GetTickCount() - start >= timeoutMs) {
      return false;
    }
    Sleep(2);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

ProcessCounts CountProcess() {
  ProcessCounts counts;
  GetProcessHandleCount(GetCurrentProcess(), &counts.handles);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
        ++counts.threads;
      }
    }
    CloseHandle(snapshot);
  }
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory),
                           sizeof memory)) {
    counts.privateBytes = memory.PrivateUsage;
  }
  return counts;
}

std::u16string Wide(const std::string &text) {
  return std::u16string(text.begin(), text.end());
}

void UseScaleLinkSettings(pondrex::TComm &comm) {
  comm.SetDtrControl(pondrex::TDtrControl::DtrDisable);
  comm.SetRtsControl(pondrex::TRtsControl::RtsEnable);
  comm.SetTxContinueOnXoff(false);
  comm.SetOutx_XonXoffFlow(false);
  comm.SetReadIntervalTimeout(20);
}

std::vector<uint8_t> Pattern(size_t count, uint8_t first) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<uint8_t>(first + i);
  }
  return bytes;
}

} // namespace pos::test
