// A window timer on Win32: SetTimer on a hidden message-only window of the
// thread that created it. WM_TIMER is dispatched only by that thread's
// message pumps (ours or the host's), so the event runs nowhere else.
// Enabling or a new interval throws std::system_error when the system
// refuses the timer.
#pragma once

#include "TWindowTimer.h"
#include "UniqueHandle.h"

#include <windows.h>

namespace pondrex {

class TWinWindowTimer final : public TWindowTimer {
public:
  // Creates the window on the calling thread; throws std::system_error when
  // it cannot.
  TWinWindowTimer(uint32_t intervalMs, TTimerEvent onTimer);
  ~TWinWindowTimer() override;

protected:
  void Arm(uint32_t intervalMs) override;
  void Disarm() override;

private:
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

  UniqueWindow window_;
};

} // namespace pondrex
