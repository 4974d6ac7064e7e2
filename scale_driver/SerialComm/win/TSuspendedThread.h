// A Win32 thread that is created suspended and joined when its owner goes.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>

#include <atomic>

namespace pondrex {

class TSuspendedThread {
public:
  using TBody = void (*)(void *context);

  TSuspendedThread() = default;
  // Waits until the thread has ended. A thread that was never resumed is
  // resumed first and ends without running its body.
  ~TSuspendedThread();
  TSuspendedThread(const TSuspendedThread &) = delete;
  TSuspendedThread &operator=(const TSuspendedThread &) = delete;

  // Creates the thread suspended; false when it cannot be created.
  bool Create(TBody body, void *context);
  void Resume();

  HANDLE Handle() const { return handle_.get(); }
  DWORD Id() const { return id_; }

private:
  static unsigned __stdcall Entry(void *self);

  UniqueHandle handle_;
  DWORD id_ = 0;
  TBody body_ = nullptr;
  void *context_ = nullptr;
  std::atomic<bool> run_{false};
  bool resumed_ = false;
};

} // namespace pondrex
