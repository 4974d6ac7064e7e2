// Runs an action when the scope that holds it ends, however it ends: the
// one owner of the "set a flag now, put it back afterwards" pairs.
#pragma once

#include <utility>

namespace pondrex {

template <typename Action> class TScopeExit {
public:
  explicit TScopeExit(Action action) noexcept : action_(std::move(action)) {}
  ~TScopeExit() { action_(); }
  TScopeExit(const TScopeExit &) = delete;
  TScopeExit &operator=(const TScopeExit &) = delete;

private:
  Action action_;
};

} // namespace pondrex
