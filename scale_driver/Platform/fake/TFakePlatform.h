// The platform of native tests: deterministic, with no real time and no real
// devices.
//
// Time is a virtual clock. Sleep moves it on without dispatching anything;
// every pump costs a little virtual time too (10 us unless set), so that a
// wait that pumps until the tick count has moved on comes to an end. The
// tick count can start anywhere, near 0xFFFFFFFF to test the wrap-around.
// The fine clock of the waits (MonotonicMs) starts at the same value and
// moves every millisecond; the tick count does too unless it is set to move
// in coarser steps, as it does on Windows.
//
// WaitAndPump moves the clock on to the first moment something is queued
// for the pump (a posted task, serial data, a due timer) or to its bound,
// whichever is first, and then pumps.
//
// The pump keeps the rules of the thread that owns the library's windows:
// serial data, send-empty events, due timers and posted tasks run only
// inside PumpMessages, in the order in which they were queued, timers after
// the queued messages.
//
// Serial ports are scripted through Line(name), datagrams through Udp().
// The platform must outlive every object it created.
#pragma once

#include "IPlatform.h"
#include "TFakeSerialLine.h"
#include "TFakeUdpPeer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pondrex {

class TFakeTimer;

struct TShownMessageBox {
  std::u16string Text;
  std::u16string Caption;
  TMessageBoxIcon Icon;
};

struct TSentWindowText {
  THostWindow Window;
  uint32_t Message;
  std::u16string Text;
};

class TFakePlatform final : public IPlatform {
public:
  explicit TFakePlatform(uint32_t startTick = 0);
  ~TFakePlatform() override;

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

  // Virtual microseconds that each pump costs. With 0, a wait that pumps
  // until time has passed never ends.
  void SetPumpCostUs(uint32_t us) { pumpCostUs_ = us; }
  uint32_t PumpCount() const { return pumpCount_; }
  // The tick count moves in steps of stepMs (at least 1) of the fine clock.
  void SetTickStepMs(uint32_t stepMs) { tickStepMs_ = stepMs == 0 ? 1 : stepMs; }
  uint32_t WaitCount() const { return waitCount_; }

  // Runs task during the first pump at least delayMs from now, like a
  // message that a window of the host handles.
  void Post(std::function<void()> task, uint32_t delayMs = 0);

  // The port of that name (compared without regard to ASCII case); it exists
  // from the first call on.
  TFakeSerialLine &Line(const std::u16string &name);
  TFakeUdpPeer &Udp() { return udp_; }

  const std::vector<TShownMessageBox> &MessageBoxes() const { return messageBoxes_; }
  const std::vector<TSentWindowText> &WindowTexts() const { return windowTexts_; }

private:
  friend class TFakeComm;
  friend class TFakeTimer;
  friend class TFakeSerialLine;
  friend class TFakeUdpPeer;

  struct TQueued {
    const void *Owner;
    std::function<void()> Run;
  };
  struct TScheduled {
    uint64_t DueUs;
    uint64_t Seq;
    std::function<void()> Arrive;
  };

  uint64_t NowUs() const { return nowUs_; }
  // Moves the clock on; whatever falls due on the way arrives (serial bytes
  // are posted, delayed tasks queued), and nothing is dispatched.
  void AdvanceUs(uint64_t us);
  void AdvanceToUs(uint64_t dueUs);
  // Runs arrive when the clock reaches dueUs (at once when it has).
  void At(uint64_t dueUs, std::function<void()> arrive);
  // Queues a message for the next pump; owner's messages go when it does.
  void Enqueue(const void *owner, std::function<void()> run);
  void RemoveQueued(const void *owner);
  TFakeTimer *DueTimer() const;

  uint32_t startTick_;
  uint64_t nowUs_ = 0;
  uint32_t pumpCostUs_ = 10;
  uint32_t tickStepMs_ = 1;
  uint32_t pumpCount_ = 0;
  uint32_t waitCount_ = 0;
  uint64_t nextSeq_ = 0;
  std::deque<TQueued> queue_;
  std::vector<TScheduled> schedule_;
  std::vector<TFakeTimer *> timers_;
  std::map<std::u16string, std::unique_ptr<TFakeSerialLine>> lines_;
  TFakeUdpPeer udp_;
  std::vector<TShownMessageBox> messageBoxes_;
  std::vector<TSentWindowText> windowTexts_;
};

} // namespace pondrex
