// The write thread of an open port: takes the blocks that WriteCommData
// queues as thread messages and writes them in order with overlapped I/O.
#pragma once

#include "CommMessages.h"
#include "TSuspendedThread.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace pondrex {

class TWriteThread {
public:
  // The thread, created suspended; null when it (or its ready event) cannot
  // be created, with the reason in GetLastError. The handles and the flag
  // stay owned by the component and outlive the thread.
  static std::unique_ptr<TWriteThread> Create(HANDLE commFile, HANDLE closeEvent, HWND commWindow,
                                              std::atomic<bool> *sendDataEmpty);
  // Use Create; public only for std::make_unique.
  TWriteThread(HANDLE commFile, HANDLE closeEvent, HWND commWindow, std::atomic<bool> *sendDataEmpty);
  // Waits until the thread has ended.
  ~TWriteThread() = default;

  void Resume() { thread_.Resume(); }
  // Waits until the thread has a message queue (or has ended), at most
  // timeoutMs; a block posted before that would be refused.
  void WaitUntilReady(DWORD timeoutMs) const;

  HANDLE Handle() const { return thread_.Handle(); }
  DWORD ThreadId() const { return thread_.Id(); }

private:
  static void Run(void *self);

  void Execute();
  bool WriteComm(const uint8_t *block, DWORD count);
  void PostHangupCall();

  bool Stopping() const;
  void Finish();

  HANDLE hCommFile;
  HANDLE hCloseEvent;
  HWND hComm32Window;
  std::atomic<bool> *pFSendDataEmpty;

  UniqueHandle readyEvent_;
  UniqueHandle writeEvent_;
  OVERLAPPED writeOverlapped_{};
  bool writePending_ = false;

  // Last, so it is joined before anything above goes.
  TSuspendedThread thread_;
};

} // namespace pondrex
