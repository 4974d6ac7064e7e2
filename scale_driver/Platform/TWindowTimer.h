// A timer that belongs to the thread that created it, as a window timer does:
// its event runs only while that thread pumps its messages, at most once per
// pump, and never while the timer is disabled or after it was destroyed.
// Destroy it on the thread that created it.
#pragma once

#include <cstdint>
#include <functional>

namespace pondrex {

using TTimerEvent = std::function<void()>;

class TWindowTimer {
public:
  virtual ~TWindowTimer() = default;
  TWindowTimer(const TWindowTimer &) = delete;
  TWindowTimer &operator=(const TWindowTimer &) = delete;

  // Milliseconds from one event to the next. A timer with the interval 0
  // never fires. A new value on an enabled timer starts the count again.
  void SetInterval(uint32_t intervalMs);
  uint32_t Interval() const { return interval_; }

  // Enabling starts the count from now; disabling stops it. Setting the value
  // the timer already has changes nothing.
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }

protected:
  // Created disabled.
  TWindowTimer(uint32_t intervalMs, TTimerEvent onTimer);

  // Starts counting intervalMs from now, replacing any count in progress.
  virtual void Arm(uint32_t intervalMs) = 0;
  // Stops the count; no event follows.
  virtual void Disarm() = 0;

  // Runs the event when the timer is enabled with a non-zero interval; the
  // event may disable the timer, change its interval or destroy it.
  void Fire();

private:
  void Update();

  uint32_t interval_;
  bool enabled_ = false;
  TTimerEvent onTimer_;
};

} // namespace pondrex
