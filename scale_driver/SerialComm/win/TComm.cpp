#include "TComm.h"

#include "CommDcb.h"
#include "CommMessages.h"
#include "ECommsError.h"

#include <cstring>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace pondrex {

namespace {
constexpr wchar_t WindowClassName[] = L"PondrexCommWindow";
// How long StopComm waits for each thread, and StartComm for the write
// thread's queue.
constexpr DWORD ThreadWaitMs = 10000;

// The module (DLL or program) this code is linked into: the window class
// belongs to it.
HINSTANCE ModuleInstance() {
  return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

// Registers the hidden window's class once per module and unregisters it
// when the module unloads, so a reloaded DLL never meets a class whose
// window procedure points into its old image.
class CommWindowClass {
public:
  CommWindowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TComm::HandleCommMessage;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = WindowClassName;
    registered_ = RegisterClassExW(&wc) != 0;
  }
  ~CommWindowClass() {
    if (registered_) {
      UnregisterClassW(WindowClassName, ModuleInstance());
    }
  }
  CommWindowClass(const CommWindowClass &) = delete;
  CommWindowClass &operator=(const CommWindowClass &) = delete;

private:
  bool registered_ = false;
};

void EnsureWindowClass() {
  static CommWindowClass windowClass;
}

std::wstring DevicePath(const std::u16string &name) {
  std::wstring path = L"\\\\.\\";
  path.append(name.begin(), name.end());
  return path;
}
} // namespace

TComm::TComm() {
  EnsureWindowClass();
  FHWnd.reset(CreateWindowExW(0, WindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(),
                              nullptr));
  if (!FHWnd) {
    throw ECommsError("Unable to create the serial component window", GetLastError());
  }
  SetWindowLongPtrW(FHWnd.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TComm::~TComm() {
  StopComm();
  SetWindowLongPtrW(FHWnd.get(), GWLP_USERDATA, 0);
  DropUndeliveredData();
}

void TComm::DropUndeliveredData() {
  // Messages still queued for a window die with it; their blocks would leak.
  MSG msg;
  while (PeekMessageW(&msg, FHWnd.get(), CommDataMessage, CommDataMessage, PM_REMOVE)) {
    TakeReceivedChunk(msg.lParam);
  }
}

void TComm::StartComm() {
  if (hCommFile) {
    throw ECommsError("This serial port already opened");
  }
  // Everything is held by local owners until the last step succeeded, so a
  // failure leaves no handle, event or thread behind.
  UniqueHandle port(CreateFileW(DevicePath(settings_.CommName).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                                nullptr));
  if (!port) {
    throw ECommsError("Error opening serial port", GetLastError());
  }
  // A file that is no character device is no system failure: code 0,
  // unless the system could not tell the type.
  const DWORD fileType = GetFileType(port.get());
  if (fileType != FILE_TYPE_CHAR) {
    throw ECommsError("File handle is not a comm handle ",
                      fileType == FILE_TYPE_UNKNOWN ? GetLastError() : 0);
  }
  if (!SetupComm(port.get(), CommBufferSize, CommBufferSize)) {
    throw ECommsError("Cannot setup comm buffer", GetLastError());
  }
  PurgeComm(port.get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  FSendDataEmpty = true;
  ApplyCommTimeoutsTo(port.get());
  ApplyCommStateTo(port.get());

  UniqueHandle closeEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!closeEvent) {
    throw ECommsError("Unable to create event", GetLastError());
  }
  std::unique_ptr<TReadThread> readThread =
      TReadThread::Create(port.get(), closeEvent.get(), FHWnd.get(), &chunksRead_);
  if (!readThread) {
    throw ECommsError("Unable to create read thread", GetLastError());
  }
  SetThreadPriority(readThread->Handle(), THREAD_PRIORITY_HIGHEST);
  std::unique_ptr<TWriteThread> writeThread =
      TWriteThread::Create(port.get(), closeEvent.get(), FHWnd.get(), &FSendDataEmpty);
  if (!writeThread) {
    const DWORD error = GetLastError();
    // The read thread never ran: releasing it lets it end at once.
    SetEvent(closeEvent.get());
    readThread.reset();
    throw ECommsError("Unable to create write thread", error);
  }
  SetThreadPriority(writeThread->Handle(), THREAD_PRIORITY_ABOVE_NORMAL);

  hCommFile = std::move(port);
  hCloseEvent = std::move(closeEvent);
  ReadThread_ = std::move(readThread);
  WriteThread_ = std::move(writeThread);
  ReadThread_->Resume();
  WriteThread_->Resume();
  // A write right after StartComm must find the write thread's queue.
  WriteThread_->WaitUntilReady(ThreadWaitMs);
}

void TComm::StopComm() {
  if (!hCommFile) {
    return;
  }
  CloseReadThread();
  CloseWriteThread();
  hCloseEvent.reset();
  hCommFile.reset();
}

void TComm::CloseReadThread() {
  if (!ReadThread_) {
    return;
  }
  SetEvent(hCloseEvent.get());
  PurgeComm(hCommFile.get(), PURGE_RXABORT | PURGE_RXCLEAR);
  WaitForSingleObject(ReadThread_->Handle(), ThreadWaitMs);
  ReadThread_.reset(); // waits until the thread has ended
}

void TComm::CloseWriteThread() {
  if (!WriteThread_) {
    return;
  }
  SetEvent(hCloseEvent.get());
  PurgeComm(hCommFile.get(), PURGE_TXABORT | PURGE_TXCLEAR);
  FSendDataEmpty = true;
  WaitForSingleObject(WriteThread_->Handle(), ThreadWaitMs);
  WriteThread_.reset();
}

bool TComm::WriteCommData(const uint8_t *pDataToWrite, uint32_t dwSizeofDataToWrite) {
  // The count travels as 16 bits; a longer block is refused whole rather
  // than cut short.
  if (!WriteThread_ || dwSizeofDataToWrite == 0 || dwSizeofDataToWrite > 0xFFFF || pDataToWrite == nullptr) {
    return false;
  }
  TCommBlock block = NewCommBlock(size_t{dwSizeofDataToWrite} + 1);
  if (!block) {
    return false;
  }
  std::memcpy(block.get(), pDataToWrite, dwSizeofDataToWrite);
  // Cleared before the post, so the write thread's "empty" after writing
  // the block cannot be overwritten by a late "not empty" from here.
  const bool wasEmpty = FSendDataEmpty.exchange(false);
  if (!PostThreadMessageW(WriteThread_->ThreadId(), CommDataMessage, dwSizeofDataToWrite,
                          BlockParam(block))) {
    FSendDataEmpty = wasEmpty;
    return false; // the block is freed here
  }
  block.release(); // the write thread owns it now
  return true;
}

uint32_t TComm::GetModemState() {
  DWORD status = 0;
  if (!hCommFile || !GetCommModemStatus(hCommFile.get(), &status)) {
    return 0;
  }
  return status;
}

void TComm::ApplyCommState() {
  ApplyCommStateTo(hCommFile.get());
}

void TComm::ApplyCommTimeouts() {
  ApplyCommTimeoutsTo(hCommFile.get());
}

void TComm::ApplyCommTimeoutsTo(HANDLE port) const {
  COMMTIMEOUTS timeouts{};
  if (port == nullptr || !GetCommTimeouts(port, &timeouts)) {
    return;
  }
  FillCommTimeouts(timeouts, settings_);
  SetCommTimeouts(port, &timeouts);
}

void TComm::ApplyCommStateTo(HANDLE port) const {
  // Start from the driver's DCB so the fields the settings do not own keep
  // the driver's values.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (port == nullptr || !GetCommState(port, &dcb)) {
    return;
  }
  FillDcb(dcb, settings_);
  SetCommState(port, &dcb);
}

LRESULT CALLBACK TComm::HandleCommMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message < CommDataMessage || message > CommSendEmptyMessage) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto *comm = reinterpret_cast<TComm *>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (comm == nullptr) {
    if (message == CommDataMessage) {
      TakeReceivedChunk(lParam);
    }
    return 0;
  }
  try {
    comm->Deliver(message, wParam, lParam);
  } catch (...) {
    // An exception must not unwind into the system's dispatch code.
  }
  return 0;
}

void TComm::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case CommDataMessage: {
    const TReceivedChunkPtr chunk = TakeReceivedChunk(lParam); // freed whether or not anyone listens
    deliveredChunk_ = chunk->Number;
    if (OnReceiveData) {
      OnReceiveData(*this, chunk->Bytes.get(), static_cast<uint16_t>(wParam));
    }
    break;
  }
  case CommErrorMessage:
    if (OnReceiveError) {
      OnReceiveError(*this, static_cast<uint32_t>(lParam));
    }
    break;
  case CommHangupMessage:
    if (OnRequestHangup) {
      OnRequestHangup(*this);
    }
    break;
  case CommModemMessage:
    if (OnModemStateChange) {
      OnModemStateChange(*this, static_cast<uint32_t>(lParam));
    }
    break;
  case CommSendEmptyMessage:
    if (OnSendDataEmpty) {
      OnSendDataEmpty(*this);
    }
    break;
  default:
    break;
  }
}

} // namespace pondrex
