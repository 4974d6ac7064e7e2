// Owners of Win32 kernel handles and windows: each closes what it holds when
// it goes, so no early return or exception can leak one.
#pragma once

#include <windows.h>

#include <utility>

namespace pos {

// A kernel handle (file, event, thread). Both null and INVALID_HANDLE_VALUE
// mean "nothing held", so the results of CreateFileW and CreateEventW can be
// taken as they come.
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

private:
  HANDLE handle_ = nullptr;
};

// A window, destroyed with its owner (on the thread that created it).
class UniqueWindow {
public:
  UniqueWindow() = default;
  explicit UniqueWindow(HWND window) : window_(window) {}
  ~UniqueWindow() { reset(); }
  UniqueWindow(const UniqueWindow &) = delete;
  UniqueWindow &operator=(const UniqueWindow &) = delete;

  HWND get() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }
  void reset(HWND window = nullptr) {
    HWND old = std::exchange(window_, window);
    if (old != nullptr) {
      DestroyWindow(old);
    }
  }

private:
  HWND window_ = nullptr;
};

} // namespace pos

// The scale driver and the diagnostic program name them unqualified in their
// own namespaces.
namespace pondrex {
using pos::UniqueHandle;
using pos::UniqueWindow;
} // namespace pondrex

namespace tavrel {
using pos::UniqueHandle;
using pos::UniqueWindow;
} // namespace tavrel
