// Work of which only one may run in the process at a time, and the claim on
// it: the work is taken atomically when the claim is made and given back
// when the claim goes. A claim made while the work is taken (by another
// thread, or by the caller's own work further up the stack) holds nothing
// and gives nothing back.
//
// The work remembers what runs under the claim (TWork, an enumeration) and
// on which thread, so that a refused caller can tell its own thread's work,
// further up its stack, from another thread's.
#pragma once

#include <atomic>
#include <optional>
#include <thread>

namespace pondrex {

template <typename TWork> class TExclusiveClaim;

template <typename TWork> class TExclusiveWork {
public:
  // What runs under the claim of the calling thread; none when the calling
  // thread holds no claim (another thread's may be held).
  std::optional<TWork> RunningOnThisThread() const noexcept {
    if (holder_.load() != std::this_thread::get_id())
      return std::nullopt;
    return work_.load();
  }

private:
  friend class TExclusiveClaim<TWork>;
  std::atomic<bool> taken_{false};
  // Written only by the thread that took the work, before it runs and
  // before it is given back; so a thread that reads its own id here reads
  // the work it runs itself.
  std::atomic<std::thread::id> holder_{};
  std::atomic<TWork> work_{};
};

template <typename TWork> class TExclusiveClaim {
public:
  TExclusiveClaim(TExclusiveWork<TWork> &exclusive, TWork work) noexcept
      : exclusive_(exclusive.taken_.exchange(true) ? nullptr : &exclusive) {
    if (exclusive_ == nullptr)
      return;
    exclusive_->work_.store(work);
    exclusive_->holder_.store(std::this_thread::get_id());
  }
  ~TExclusiveClaim() {
    if (exclusive_ == nullptr)
      return;
    exclusive_->holder_.store(std::thread::id());
    exclusive_->taken_.store(false);
  }
  TExclusiveClaim(const TExclusiveClaim &) = delete;
  TExclusiveClaim &operator=(const TExclusiveClaim &) = delete;

  bool Held() const noexcept { return exclusive_ != nullptr; }

private:
  TExclusiveWork<TWork> *exclusive_;
};

} // namespace pondrex
