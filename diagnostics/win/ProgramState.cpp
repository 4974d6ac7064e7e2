#include "ProgramState.h"

namespace tavrel {

std::unique_ptr<std::u16string> g_report;
std::u16string g_systemInfoText;
std::u16string g_eventLogText;
HWND g_editWindow = nullptr;
HANDLE g_workerThread = nullptr;

void InitReportGlobals() {
  g_report = std::make_unique<std::u16string>();
}

namespace {
// After the definitions above, so they are in place when it runs.
const bool ReportGlobalsReady = (InitReportGlobals(), true);
} // namespace

} // namespace tavrel
