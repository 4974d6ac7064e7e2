// A claim on work of which only one may run in the process at a time: the
// flag is taken atomically when the claim is made and given back when the
// claim goes. A claim made while the flag is taken (by another thread, or by
// the caller's own work further up the stack) holds nothing and gives
// nothing back.
#pragma once

#include <atomic>

namespace pondrex {

class TExclusiveClaim {
public:
  explicit TExclusiveClaim(std::atomic<bool> &running) noexcept
      : running_(running.exchange(true) ? nullptr : &running) {}
  ~TExclusiveClaim() {
    if (running_ != nullptr)
      running_->store(false);
  }
  TExclusiveClaim(const TExclusiveClaim &) = delete;
  TExclusiveClaim &operator=(const TExclusiveClaim &) = delete;

  bool Held() const noexcept { return running_ != nullptr; }

private:
  std::atomic<bool> *running_;
};

} // namespace pondrex
