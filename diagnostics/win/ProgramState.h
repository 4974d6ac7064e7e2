#pragma once
// Process-wide state of Tavrel.exe. All of it exists before wWinMain runs.
#include <windows.h>

#include <memory>
#include <string>

namespace tavrel {

// The whole report, only ever appended to: by the UI thread until the worker
// is started, then only by the worker. Released by the entry, and only once
// the worker has ended.
extern std::unique_ptr<std::u16string> g_report;
// The captured outputs of the systeminfo command and the error-event query.
extern std::u16string g_systemInfoText;
extern std::u16string g_eventLogText;
// The edit control that shows the report, set on WM_CREATE.
extern HWND g_editWindow;
// The worker thread; the entry only asks whether it has ended.
extern HANDLE g_workerThread;

// Creates the empty report; runs as a static initializer before the entry.
void InitReportGlobals();

} // namespace tavrel
