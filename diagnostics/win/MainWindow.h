#pragma once
// The main window: a read-only multi-line edit control that shows the report.
#include <windows.h>

namespace tavrel {

inline constexpr wchar_t MainWindowClass[] = L"SystemInfoWindowClass";
inline constexpr wchar_t MainWindowTitle[] = L"设备信息";
inline constexpr int EditControlId = 1;
// What the edit control shows until the worker hands over the report.
inline constexpr wchar_t CollectingText[] = L"正在检测系统信息数据，请稍后！！";

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the window class and creates the main window (1000 x 680, not
// yet shown); null when no window results.
HWND CreateMainWindow(HINSTANCE instance);

} // namespace tavrel
