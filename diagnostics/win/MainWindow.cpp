#include "MainWindow.h"

#include <algorithm>

#include "ProgramState.h"

namespace tavrel {
namespace {

constexpr int Margin = 10;
constexpr DWORD EditStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY;
static_assert(EditStyle == 0x50200844);

void CreateEditControl(HWND window) {
  g_editWindow =
      CreateWindowExW(0, L"EDIT", L"", EditStyle, Margin, Margin, 980, 660, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(EditControlId)),
                      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
  // The font lives as long as the process.
  HFONT font = CreateFontW(18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, L"黑体");
  SendMessageW(g_editWindow, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SetWindowTextW(g_editWindow, CollectingText);
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &paint.rcPaint, white);
  DeleteObject(white);
  EndPaint(window, &paint);
}

} // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CREATE:
    CreateEditControl(window);
    return 0;
  case WM_SIZE: {
    // The control keeps a margin on every side of the new client area; a
    // client area smaller than the margins leaves it empty.
    const int width = std::max(0, static_cast<int>(LOWORD(lParam)) - 2 * Margin);
    const int height = std::max(0, static_cast<int>(HIWORD(lParam)) - 2 * Margin);
    MoveWindow(g_editWindow, Margin, Margin, width, height, TRUE);
    return 0;
  }
  case WM_PAINT:
    Paint(window);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = MainWindowClass;
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, MainWindowClass, MainWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 1000, 680, nullptr, nullptr, instance, nullptr);
}

} // namespace tavrel
