#include "TWriteThread.h"

namespace pondrex {

namespace {
// How long the thread waits, on its way out, for a cancelled write to complete.
constexpr DWORD CancelWaitMs = 5000;
// PeekMessageW filter for messages posted to the thread itself, not to a window.
const HWND ThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
} // namespace

std::unique_ptr<TWriteThread> TWriteThread::Create(HANDLE commFile, HANDLE closeEvent, HWND commWindow,
                                                   std::atomic<bool> *sendDataEmpty) {
  std::unique_ptr<TWriteThread> thread;
  try {
    thread = std::make_unique<TWriteThread>(commFile, closeEvent, commWindow, sendDataEmpty);
  } catch (const std::bad_alloc &) {
    // The caller reports the system's error code of the failure.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  thread->readyEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!thread->readyEvent_ || !thread->thread_.Create(&TWriteThread::Run, thread.get())) {
    return nullptr;
  }
  return thread;
}

TWriteThread::TWriteThread(HANDLE commFile, HANDLE closeEvent, HWND commWindow,
                           std::atomic<bool> *sendDataEmpty)
    : hCommFile(commFile), hCloseEvent(closeEvent), hComm32Window(commWindow),
      pFSendDataEmpty(sendDataEmpty) {}

void TWriteThread::Run(void *self) {
  static_cast<TWriteThread *>(self)->Execute();
}

void TWriteThread::WaitUntilReady(DWORD timeoutMs) const {
  HANDLE handles[2] = {readyEvent_.get(), thread_.Handle()};
  WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
}

bool TWriteThread::Stopping() const {
  return WaitForSingleObject(hCloseEvent, 0) == WAIT_OBJECT_0;
}

void TWriteThread::Execute() {
  // A thread gets its message queue on its first message call; until then
  // PostThreadMessageW to it fails and the block would be lost.
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  SetEvent(readyEvent_.get());

  writeEvent_.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  if (!writeEvent_) {
    PostHangupCall();
    Finish();
    return;
  }
  writeOverlapped_.hEvent = writeEvent_.get();

  bool reportEmpty = true;
  for (;;) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      *pFSendDataEmpty = true;
      if (reportEmpty) {
        if (!PostMessageW(hComm32Window, CommSendEmptyMessage, 0, 0)) {
          PostHangupCall();
          break;
        }
        reportEmpty = false;
      }
      const DWORD woke = MsgWaitForMultipleObjects(1, &hCloseEvent, FALSE, INFINITE, QS_ALLINPUT);
      if (woke == WAIT_OBJECT_0) {
        break;
      }
      if (woke == WAIT_OBJECT_0 + 1) {
        continue;
      }
      PostHangupCall();
      break;
    }

    if (msg.hwnd == nullptr && msg.message == CommDataMessage) {
      TCommBlock block = TakeBlock(msg.lParam);
      if (Stopping() || !WriteComm(block.get(), static_cast<DWORD>(msg.wParam))) {
        break;
      }
      reportEmpty = true;
      continue;
    }
    if (Stopping()) {
      break;
    }
    if (msg.hwnd != nullptr) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  Finish();
}

void TWriteThread::Finish() {
  PurgeComm(hCommFile, PURGE_TXABORT | PURGE_TXCLEAR);
  // The OVERLAPPED block of this object must not be written after it goes.
  if (writePending_) {
    CancelIo(hCommFile);
    WaitForSingleObject(writeEvent_.get(), CancelWaitMs);
    writePending_ = false;
  }
  *pFSendDataEmpty = true;
  writeEvent_.reset();
  // Blocks still queued die with the queue: free them.
  MSG msg;
  while (PeekMessageW(&msg, ThreadMessagesOnly, CommDataMessage, CommDataMessage, PM_REMOVE)) {
    TakeBlock(msg.lParam);
  }
}

bool TWriteThread::WriteComm(const uint8_t *block, DWORD count) {
  DWORD written = 0;
  DWORD remaining = count;
  while (remaining > 0) {
    DWORD done = 0;
    ResetEvent(writeEvent_.get());
    if (!WriteFile(hCommFile, block + written, remaining, &done, &writeOverlapped_)) {
      const DWORD error = GetLastError();
      if (error == ERROR_INVALID_HANDLE) {
        return false;
      }
      if (error != ERROR_IO_PENDING) {
        PostHangupCall();
        return false;
      }
      writePending_ = true;
      HANDLE handles[2] = {hCloseEvent, writeEvent_.get()};
      const DWORD signalled = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
      if (signalled == WAIT_OBJECT_0) {
        return false; // Finish cancels the write still in flight
      }
      if (signalled != WAIT_OBJECT_0 + 1) {
        PostHangupCall();
        return false;
      }
      writePending_ = false;
      if (!GetOverlappedResult(hCommFile, &writeOverlapped_, &done, TRUE)) {
        if (GetLastError() != ERROR_INVALID_HANDLE) {
          PostHangupCall();
        }
        return false;
      }
    }
    written += done;
    remaining -= done;
  }
  return true;
}

void TWriteThread::PostHangupCall() {
  // A failure while the component is stopping the port is the stop itself.
  if (!Stopping()) {
    PostMessageW(hComm32Window, CommHangupMessage, 0, 0);
  }
}

} // namespace pondrex
