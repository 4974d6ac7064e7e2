// The serial component on Win32: the port opened for overlapped I/O, one
// read and one write thread per opening, and a hidden message-only window
// through which the threads hand received bytes and line events back to the
// thread that created the component.
//
// Threading: create, use and destroy a TComm on one thread. Its events run
// on that thread, inside DispatchMessageW, and only while it pumps messages.
// An exception thrown by an event handler is dropped there: it cannot cross
// the system's window-procedure frames.
//
// Ports that cannot wait for line events (WaitCommEvent or SetCommMask fails
// with ERROR_NOT_SUPPORTED or ERROR_INVALID_PARAMETER, as pseudo-terminals
// under Wine and some USB adapters do) still deliver their data; they just
// never raise OnReceiveError or OnModemStateChange.
#pragma once

#include "TCommBase.h"
#include "TReadThread.h"
#include "TWriteThread.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace pondrex {

class TComm : public TCommBase {
public:
  // Creates the hidden window on the calling thread; throws ECommsError
  // when it cannot.
  TComm();
  // Stops an open port, frees received blocks not yet delivered and
  // destroys the window.
  ~TComm() override;

  void StartComm() override;
  void StopComm() override;
  bool WriteCommData(const uint8_t *pDataToWrite, uint32_t dwSizeofDataToWrite) override;
  uint32_t GetModemState() override;
  bool IsOpen() const override { return static_cast<bool>(hCommFile); }
  uint64_t LastChunkRead() const override { return chunksRead_.load(); }

  // The threads of the open port; null while closed.
  const TReadThread *ReadThread() const { return ReadThread_.get(); }
  const TWriteThread *WriteThread() const { return WriteThread_.get(); }

  // Window procedure of the hidden window.
  static LRESULT CALLBACK HandleCommMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
  void ApplyCommState() override;
  void ApplyCommTimeouts() override;

private:
  void ApplyCommStateTo(HANDLE port) const;
  void ApplyCommTimeoutsTo(HANDLE port) const;
  void CloseReadThread();
  void CloseWriteThread();
  void Deliver(UINT message, WPARAM wParam, LPARAM lParam);
  void DropUndeliveredData();

  std::unique_ptr<TReadThread> ReadThread_;
  std::unique_ptr<TWriteThread> WriteThread_;
  UniqueHandle hCommFile;
  UniqueHandle hCloseEvent;
  UniqueWindow FHWnd;
  // Written by the write thread as well as here.
  std::atomic<bool> FSendDataEmpty{true};
  // Moved on by the read threads of every opening; read here.
  std::atomic<uint64_t> chunksRead_{0};
};

} // namespace pondrex
