// A message-only window that records what is dispatched to it, for tests of
// the pump and of window messages.
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>

namespace pondrex::test {

class TestWindow {
public:
  using Handler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

  explicit TestWindow(Handler handler) : handler_(std::move(handler)) {
    static const bool registered = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &Procedure;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"PondrexPlatformTestWindow";
      return RegisterClassExW(&wc) != 0;
    }();
    if (!registered) {
      throw std::runtime_error("RegisterClassExW failed");
    }
    window_ = CreateWindowExW(0, L"PondrexPlatformTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) {
      throw std::runtime_error("CreateWindowExW failed");
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TestWindow() { DestroyWindow(window_); }
  TestWindow(const TestWindow &) = delete;
  TestWindow &operator=(const TestWindow &) = delete;

  HWND get() const { return window_; }

private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *self = reinterpret_cast<TestWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message >= WM_USER) {
      self->handler_(message, wParam, lParam);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  Handler handler_;
  HWND window_ = nullptr;
};

} // namespace pondrex::test
