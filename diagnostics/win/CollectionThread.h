#pragma once
// The worker: sections 3 to 8, writes 4 to 6, the hand-over of the report to
// the window and the completion box.
#include <windows.h>

namespace tavrel {

inline constexpr wchar_t CompletionText[] = L"系统数据检测完成！";
inline constexpr wchar_t CompletionCaption[] = L"完成";

DWORD WINAPI CollectionThreadProc(LPVOID parameter);

// Replaces the report file's content with the report as it stands.
void WriteReportToFile();

} // namespace tavrel
