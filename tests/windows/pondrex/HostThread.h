// A second thread of a host program: work runs on a thread of its own,
// which has ended when runOnOtherThread returns. Meanwhile the calling
// thread pumps its messages, so that a window of the calling thread (the
// host's report window) gets what the work sends it, or blocks, as a host
// that joins its worker does.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <utility>

namespace pos::test {

// The message-only windows that the calling thread owns. The library's
// serial components and timers are such windows; a window dies with its
// thread, so none may stay on a thread after the export returned.
inline size_t messageOnlyWindowsOfThisThread() {
  size_t count = 0;
  HWND window = nullptr;
  while ((window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr) {
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
      ++count;
  }
  return count;
}

struct OtherThreadJob {
  std::function<void()> work;
  size_t windowsLeft = 0;
};

inline DWORD WINAPI runOtherThreadJob(void *parameter) {
  OtherThreadJob &job = *static_cast<OtherThreadJob *>(parameter);
  job.work();
  job.windowsLeft = messageOnlyWindowsOfThisThread();
  return 0;
}

enum class WhileWaiting { pump, block };

// Runs work on a new thread and returns, once that thread has ended, the
// number of message-only windows it owned when work returned.
inline size_t runOnOtherThread(WhileWaiting meanwhile, std::function<void()> work) {
  OtherThreadJob job{std::move(work)};
  const pos::UniqueHandle thread(CreateThread(nullptr, 0, &runOtherThreadJob, &job, 0, nullptr));
  if (!thread)
    throw std::runtime_error("CreateThread failed");
  HANDLE handle = thread.get();
  if (meanwhile == WhileWaiting::block) {
    WaitForSingleObject(handle, INFINITE);
    return job.windowsLeft;
  }
  while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return job.windowsLeft;
}

} // namespace pos::test
