#include "TWindowTimer.h"

#include <utility>

namespace pondrex {

TWindowTimer::TWindowTimer(uint32_t intervalMs, TTimerEvent onTimer)
    : interval_(intervalMs), onTimer_(std::move(onTimer)) {}

void TWindowTimer::SetInterval(uint32_t intervalMs) {
  if (intervalMs != interval_) {
    interval_ = intervalMs;
    Update();
  }
}

void TWindowTimer::SetEnabled(bool enabled) {
  if (enabled != enabled_) {
    enabled_ = enabled;
    Update();
  }
}

void TWindowTimer::Update() {
  if (enabled_ && interval_ > 0) {
    Arm(interval_);
  } else {
    Disarm();
  }
}

void TWindowTimer::Fire() {
  if (!enabled_ || interval_ == 0 || !onTimer_) {
    return;
  }
  // A copy, so that an event which destroys the timer does not destroy the
  // function that is running.
  TTimerEvent event = onTimer_;
  event();
}

} // namespace pondrex
