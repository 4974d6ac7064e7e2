// Owner of a Win32 kernel handle: closes it when it goes, so no early
// return can leak one.
#pragma once

#include <windows.h>

#include <utility>

namespace tavrel {

// Null and INVALID_HANDLE_VALUE both mean "nothing held".
class UniqueHandle {
public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) { reset(handle); }
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle &&other) noexcept : handle_(other.release()) {}
  UniqueHandle &operator=(UniqueHandle &&other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle &) = delete;
  UniqueHandle &operator=(const UniqueHandle &) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  HANDLE release() { return std::exchange(handle_, nullptr); }
  void reset(HANDLE handle = nullptr) {
    if (handle == INVALID_HANDLE_VALUE) {
      handle = nullptr;
    }
    HANDLE old = std::exchange(handle_, handle);
    if (old != nullptr) {
      CloseHandle(old);
    }
  }
  // For functions that fill in a handle.
  HANDLE *receive() {
    reset();
    return &handle_;
  }

private:
  HANDLE handle_ = nullptr;
};

} // namespace tavrel
