#include "TWinPlatform.h"

#include "TComm.h"
#include "TWinUdpClient.h"
#include "TWinWindowTimer.h"

#include <windows.h>

namespace pondrex {

namespace {
// Whether a quit request waits in this thread's queue for the host's own
// loop. The queue then always reports input, so a wait for a message would
// return at once and the caller's wait would spin.
bool QuitPending() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

const wchar_t *Wide(const std::u16string &text) {
  return reinterpret_cast<const wchar_t *>(text.c_str());
}
} // namespace

void TWinPlatform::PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The quit request belongs to the host's own message loop: put it back
      // for that loop and stop here.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void TWinPlatform::WaitAndPump(uint32_t ms) {
  if (QuitPending()) {
    ::Sleep(ms);
  } else {
    // MWMO_INPUTAVAILABLE: also return for messages that are already queued,
    // not only for those that arrive from now on.
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  PumpMessages();
}

void TWinPlatform::Sleep(uint32_t ms) {
  ::Sleep(ms);
}

uint32_t TWinPlatform::TickCount() {
  return GetTickCount();
}

uint32_t TWinPlatform::MonotonicMs() {
  // The performance counter never fails on the systems the driver runs on;
  // its frequency is fixed at boot.
  static const uint64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<uint64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const uint64_t counts = static_cast<uint64_t>(now.QuadPart);
  // Split so that counts * 1000 cannot overflow.
  const uint64_t ms = counts / frequency * 1000 + counts % frequency * 1000 / frequency;
  return static_cast<uint32_t>(ms);
}

std::unique_ptr<TWindowTimer> TWinPlatform::CreateTimer(uint32_t intervalMs, TTimerEvent onTimer) {
  return std::make_unique<TWinWindowTimer>(intervalMs, std::move(onTimer));
}

std::unique_ptr<TCommBase> TWinPlatform::CreateComm() {
  return std::make_unique<TComm>();
}

std::unique_ptr<IUdpClient> TWinPlatform::CreateUdpClient() {
  return std::make_unique<TWinUdpClient>();
}

void TWinPlatform::ShowMessageBox(const std::u16string &text, const std::u16string &caption,
                                  TMessageBoxIcon icon) {
  const UINT style = MB_OK | (icon == TMessageBoxIcon::Error ? MB_ICONERROR : 0);
  MessageBoxW(nullptr, Wide(text), Wide(caption), style);
}

void TWinPlatform::SendTextToWindow(THostWindow window, uint32_t message, const std::u16string &text) {
  if (window != 0) {
    SendMessageW(reinterpret_cast<HWND>(window), message, reinterpret_cast<WPARAM>(text.c_str()), 0);
  }
}

IPlatform &SystemPlatform() {
  static TWinPlatform platform;
  return platform;
}

} // namespace pondrex
