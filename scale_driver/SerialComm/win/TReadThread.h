// The read thread of an open port: overlapped reads of up to 4096 bytes and,
// where the port supports them, line events; both are posted to the hidden
// window of the component.
#pragma once

#include "CommMessages.h"
#include "TSuspendedThread.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace pondrex {

class TReadThread {
public:
  // The thread, created suspended; null when it cannot be created, with the
  // reason in GetLastError. The three handles and the chunk counter stay
  // owned by the component and outlive the thread; the thread numbers each
  // chunk it reads by counting on from the counter.
  static std::unique_ptr<TReadThread> Create(HANDLE commFile, HANDLE closeEvent, HWND commWindow,
                                             std::atomic<uint64_t> *chunksRead);
  // Use Create; public only for std::make_unique.
  TReadThread(HANDLE commFile, HANDLE closeEvent, HWND commWindow, std::atomic<uint64_t> *chunksRead);
  // Waits until the thread has ended.
  ~TReadThread() = default;

  void Resume() { thread_.Resume(); }
  HANDLE Handle() const { return thread_.Handle(); }

private:
  static void Run(void *self);

  void Execute();
  bool SetupCommEvent();
  bool HandleCommEvent(bool retrieve);
  bool SetupReadEvent();
  bool HandleReadEvent();
  bool HandleReadData(const uint8_t *bytes, DWORD count);
  bool ReceiveData(TReceivedChunkPtr chunk, DWORD count);
  bool ReceiveError(DWORD errors);
  bool ModemStateChange(DWORD bits);
  void PostHangupCall();

  bool Stopping() const;
  // Ends what is still in flight, so no I/O outlives the buffers below.
  void Finish();

  HANDLE hCommFile;
  HANDLE hCloseEvent;
  HWND hComm32Window;
  std::atomic<uint64_t> *chunksRead_;

  UniqueHandle readEvent_;
  UniqueHandle commEvent_;
  OVERLAPPED readOverlapped_{};
  OVERLAPPED commOverlapped_{};
  DWORD eventMask_ = 0;
  bool readPending_ = false;
  bool commPending_ = false;
  // False once the port has shown that it cannot report line events.
  bool lineEvents_ = true;
  uint8_t buffer_[4096] = {};

  // Last, so it is joined before anything above goes.
  TSuspendedThread thread_;
};

} // namespace pondrex
