#include "TWinWindowTimer.h"

#include <system_error>
#include <utility>

namespace pondrex {

namespace {
constexpr UINT_PTR TimerId = 1;
} // namespace

TWinWindowTimer::TWinWindowTimer(uint32_t intervalMs, TTimerEvent onTimer)
    : TWindowTimer(intervalMs, std::move(onTimer)) {
  // "Message" is the system's class for message-only windows: no class of
  // ours to register, and so none left behind with a stale procedure when
  // the library is unloaded.
  window_.reset(CreateWindowExW(0, L"Message", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  if (!window_) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "Cannot create the window of a timer");
  }
  SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TWinWindowTimer::~TWinWindowTimer() {
  if (window_) {
    KillTimer(window_.get(), TimerId);
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
  }
}

void TWinWindowTimer::Arm(uint32_t intervalMs) {
  // Setting a timer that runs already starts its count again. A timer the
  // system refuses would leave a wait on it hanging: say so instead.
  if (SetTimer(window_.get(), TimerId, intervalMs, &TimerProc) == 0) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "SetTimer failed");
  }
}

void TWinWindowTimer::Disarm() {
  KillTimer(window_.get(), TimerId);
}

void CALLBACK TWinWindowTimer::TimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
  auto *timer = reinterpret_cast<TWinWindowTimer *>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // KillTimer leaves a WM_TIMER that was already taken from the queue; Fire
  // ignores it once the timer is disabled.
  if (timer != nullptr && id == TimerId) {
    timer->Fire();
  }
}

} // namespace pondrex
