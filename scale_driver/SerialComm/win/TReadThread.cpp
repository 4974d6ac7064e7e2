#include "TReadThread.h"

#include <cstring>

namespace pondrex {

namespace {
constexpr DWORD LineEvents = EV_RLSD | EV_ERR | EV_RING;
// How long the thread waits, on its way out, for cancelled I/O to complete.
constexpr DWORD CancelWaitMs = 5000;

// Some ports (pseudo-terminals under Wine, some USB serial adapters) cannot
// wait for line events at all; they still carry data.
bool LineEventsUnsupported(DWORD error) {
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER;
}
} // namespace

std::unique_ptr<TReadThread> TReadThread::Create(HANDLE commFile, HANDLE closeEvent, HWND commWindow,
                                                 std::atomic<uint64_t> *chunksRead) {
  std::unique_ptr<TReadThread> thread;
  try {
    thread = std::make_unique<TReadThread>(commFile, closeEvent, commWindow, chunksRead);
  } catch (const std::bad_alloc &) {
    // The caller reports the system's error code of the failure.
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!thread->thread_.Create(&TReadThread::Run, thread.get())) {
    return nullptr;
  }
  return thread;
}

TReadThread::TReadThread(HANDLE commFile, HANDLE closeEvent, HWND commWindow,
                         std::atomic<uint64_t> *chunksRead)
    : hCommFile(commFile), hCloseEvent(closeEvent), hComm32Window(commWindow), chunksRead_(chunksRead) {}

void TReadThread::Run(void *self) {
  static_cast<TReadThread *>(self)->Execute();
}

bool TReadThread::Stopping() const {
  return WaitForSingleObject(hCloseEvent, 0) == WAIT_OBJECT_0;
}

void TReadThread::Execute() {
  readEvent_.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  commEvent_.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
  if (!readEvent_ || !commEvent_) {
    PostHangupCall();
    Finish();
    return;
  }
  readOverlapped_.hEvent = readEvent_.get();
  commOverlapped_.hEvent = commEvent_.get();

  if (!SetCommMask(hCommFile, LineEvents)) {
    if (!LineEventsUnsupported(GetLastError())) {
      PostHangupCall();
      Finish();
      return;
    }
    lineEvents_ = false;
  }

  if (SetupCommEvent() && SetupReadEvent()) {
    for (;;) {
      // The comm-event event leaves the list once line events are off: it
      // stays signalled and would wake the loop for nothing. The read event
      // then moves to index 1.
      const bool withLineEvents = lineEvents_;
      HANDLE handles[3];
      DWORD count = 0;
      handles[count++] = hCloseEvent;
      if (withLineEvents) {
        handles[count++] = commEvent_.get();
      }
      const DWORD readIndex = count;
      handles[count++] = readEvent_.get();

      const DWORD signalled = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
      if (signalled == WAIT_OBJECT_0) {
        break;
      }
      if (withLineEvents && signalled == WAIT_OBJECT_0 + 1) {
        if (!HandleCommEvent(true) || !SetupCommEvent()) {
          break;
        }
      } else if (signalled == WAIT_OBJECT_0 + readIndex) {
        if (!HandleReadEvent() || !SetupReadEvent()) {
          break;
        }
      } else {
        PostHangupCall();
        break;
      }
    }
  }
  Finish();
}

void TReadThread::Finish() {
  PurgeComm(hCommFile, PURGE_RXABORT | PURGE_RXCLEAR);
  // The buffers and OVERLAPPED blocks of this object must not be written
  // after it goes: cancel what this thread issued and let it complete.
  if (readPending_ || commPending_) {
    CancelIo(hCommFile);
    if (readPending_) {
      WaitForSingleObject(readEvent_.get(), CancelWaitMs);
      readPending_ = false;
    }
    if (commPending_) {
      WaitForSingleObject(commEvent_.get(), CancelWaitMs);
      commPending_ = false;
    }
  }
  readEvent_.reset();
  commEvent_.reset();
}

bool TReadThread::SetupCommEvent() {
  for (;;) {
    if (!lineEvents_) {
      return true;
    }
    if (Stopping()) {
      return false;
    }
    eventMask_ = 0;
    ResetEvent(commEvent_.get());
    if (WaitCommEvent(hCommFile, &eventMask_, &commOverlapped_)) {
      if (!HandleCommEvent(false)) {
        return false;
      }
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      commPending_ = true;
      return true;
    }
    if (error == ERROR_INVALID_HANDLE) {
      return false;
    }
    if (LineEventsUnsupported(error)) {
      lineEvents_ = false;
      return true;
    }
    PostHangupCall();
    return false;
  }
}

bool TReadThread::HandleCommEvent(bool retrieve) {
  if (retrieve) {
    commPending_ = false;
    DWORD unused = 0;
    if (!GetOverlappedResult(hCommFile, &commOverlapped_, &unused, FALSE)) {
      const DWORD error = GetLastError();
      if (LineEventsUnsupported(error)) {
        lineEvents_ = false;
        return true;
      }
      if (error != ERROR_INVALID_HANDLE) {
        PostHangupCall();
      }
      return false;
    }
  }

  bool reported = false;
  if (eventMask_ & EV_ERR) {
    DWORD errors = 0;
    if (!ClearCommError(hCommFile, &errors, nullptr)) {
      if (GetLastError() != ERROR_INVALID_HANDLE) {
        PostHangupCall();
      }
      return false;
    }
    if (!ReceiveError(errors)) {
      return false;
    }
    reported = true;
  }

  DWORD modem = 0;
  if (eventMask_ & EV_RLSD) {
    modem |= 8;
  }
  if (eventMask_ & EV_RING) {
    modem |= 4;
  }
  if (modem != 0) {
    if (!ModemStateChange(modem)) {
      return false;
    }
    reported = true;
  }

  if (!reported) {
    PostHangupCall();
  }
  return reported;
}

bool TReadThread::SetupReadEvent() {
  for (;;) {
    if (Stopping()) {
      return false;
    }
    DWORD count = 0;
    ResetEvent(readEvent_.get());
    if (ReadFile(hCommFile, buffer_, sizeof buffer_, &count, &readOverlapped_)) {
      if (!HandleReadData(buffer_, count)) {
        return false;
      }
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      readPending_ = true;
      return true;
    }
    if (error != ERROR_INVALID_HANDLE) {
      PostHangupCall();
    }
    return false;
  }
}

bool TReadThread::HandleReadEvent() {
  readPending_ = false;
  DWORD count = 0;
  if (!GetOverlappedResult(hCommFile, &readOverlapped_, &count, FALSE)) {
    if (GetLastError() != ERROR_INVALID_HANDLE) {
      PostHangupCall();
    }
    return false;
  }
  return HandleReadData(buffer_, count);
}

bool TReadThread::HandleReadData(const uint8_t *bytes, DWORD count) {
  if (count == 0) {
    return false;
  }
  TReceivedChunkPtr chunk;
  try {
    chunk = std::make_unique<TReceivedChunk>();
  } catch (const std::bad_alloc &) {
    PostHangupCall();
    return false;
  }
  chunk->Bytes = NewCommBlock(size_t{count} + 1);
  if (!chunk->Bytes) {
    PostHangupCall();
    return false;
  }
  std::memcpy(chunk->Bytes.get(), bytes, count);
  chunk->Bytes[count] = 0;
  // Counted as read before it is posted, so that a request written after
  // this moment finds it at or below the number read before the write.
  chunk->Number = chunksRead_->fetch_add(1) + 1;
  return ReceiveData(std::move(chunk), count);
}

bool TReadThread::ReceiveData(TReceivedChunkPtr chunk, DWORD count) {
  if (!PostMessageW(hComm32Window, CommDataMessage, count, ChunkParam(chunk))) {
    PostHangupCall();
    return false;
  }
  chunk.release(); // the window procedure owns it now
  return true;
}

bool TReadThread::ReceiveError(DWORD errors) {
  if (!PostMessageW(hComm32Window, CommErrorMessage, 0, static_cast<LPARAM>(errors))) {
    PostHangupCall();
    return false;
  }
  return true;
}

bool TReadThread::ModemStateChange(DWORD bits) {
  if (!PostMessageW(hComm32Window, CommModemMessage, 0, static_cast<LPARAM>(bits))) {
    PostHangupCall();
    return false;
  }
  return true;
}

void TReadThread::PostHangupCall() {
  // A failure while the component is stopping the port is the stop itself
  // (cancelled I/O), not a line that went away.
  if (!Stopping()) {
    PostMessageW(hComm32Window, CommHangupMessage, 0, 0);
  }
}

} // namespace pondrex
