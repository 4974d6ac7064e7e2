#include "TSuspendedThread.h"

#include <process.h>

namespace pondrex {

TSuspendedThread::~TSuspendedThread() {
  if (!handle_) {
    return;
  }
  if (!resumed_) {
    ResumeThread(handle_.get());
  }
  WaitForSingleObject(handle_.get(), INFINITE);
}

bool TSuspendedThread::Create(TBody body, void *context) {
  body_ = body;
  context_ = context;
  unsigned id = 0;
  // _beginthreadex rather than CreateThread: the body uses the C runtime.
  uintptr_t handle = _beginthreadex(nullptr, 0, &TSuspendedThread::Entry, this, CREATE_SUSPENDED, &id);
  if (handle == 0) {
    return false;
  }
  handle_.reset(reinterpret_cast<HANDLE>(handle));
  id_ = id;
  return true;
}

void TSuspendedThread::Resume() {
  if (!handle_ || resumed_) {
    return;
  }
  run_ = true;
  resumed_ = true;
  ResumeThread(handle_.get());
}

unsigned __stdcall TSuspendedThread::Entry(void *self) {
  auto *thread = static_cast<TSuspendedThread *>(self);
  if (thread->run_) {
    thread->body_(thread->context_);
  }
  return 0;
}

} // namespace pondrex
