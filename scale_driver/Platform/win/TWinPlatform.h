// The platform of the product: the calling thread's Win32 message queue,
// Sleep, GetTickCount, QueryPerformanceCounter, window timers, TComm, a Winsock datagram client,
// MessageBoxW and SendMessageW.
#pragma once

#include "IPlatform.h"

namespace pondrex {

class TWinPlatform final : public IPlatform {
public:
  void PumpMessages() override;
  void WaitAndPump(uint32_t ms) override;
  void Sleep(uint32_t ms) override;
  uint32_t TickCount() override;
  uint32_t MonotonicMs() override;
  std::unique_ptr<TWindowTimer> CreateTimer(uint32_t intervalMs, TTimerEvent onTimer) override;
  std::unique_ptr<TCommBase> CreateComm() override;
  std::unique_ptr<IUdpClient> CreateUdpClient() override;
  void ShowMessageBox(const std::u16string &text, const std::u16string &caption,
                      TMessageBoxIcon icon) override;
  void SendTextToWindow(THostWindow window, uint32_t message, const std::u16string &text) override;
};

// The one platform object of the process; it holds no state.
IPlatform &SystemPlatform();

} // namespace pondrex
