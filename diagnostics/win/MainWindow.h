#pragma once
// The main window: a read-only multi-line edit control that shows the report.
#include <windows.h>

namespace tavrel {

inline constexpr wchar_t kMainWindowClass[] = L"SystemInfoWindowClass";
inline constexpr wchar_t kMainWindowTitle[] = L"设备信息";
inline constexpr int kEditControlId = 1;
// What the edit control shows until the worker hands over the report.
inline constexpr wchar_t kCollectingText[] = L"正在检测系统信息数据，请稍后！！";

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the window class and creates the main window (1000 x 680, not
// yet shown); null when no window results.
HWND CreateMainWindow(HINSTANCE instance);

} // namespace tavrel
