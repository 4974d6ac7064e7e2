// Tavrel.exe: collects the workstation's diagnostic report, writes it to
// ".\设备信息.dat" as it grows and shows it in its window.
#include <windows.h>

#include "CollectionThread.h"
#include "CommandLines.h"
#include "CommandRunner.h"
#include "DiskCollectors.h"
#include "MainWindow.h"
#include "ProgramState.h"
#include "ReportLayout.h"
#include "WmiQueries.h"

namespace {

bool WorkerHasEnded() {
  return tavrel::g_workerThread == nullptr || WaitForSingleObject(tavrel::g_workerThread, 0) == WAIT_OBJECT_0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  using namespace tavrel;
  std::u16string &report = *g_report;

  g_systemInfoText = RunCommandCapture(std::u16string(SystemInfoCommandLine));
  AppendReportPart(report, ReportPart::General, g_systemInfoText);
  WriteReportToFile(); // write 1

  AppendReportPart(report, ReportPart::DiskSpace, BuildDiskSpaceReport());
  WriteReportToFile(); // write 2

  AppendReportPart(report, ReportPart::Printers, QueryPrinters());
  AppendReportPart(report, ReportPart::PrintJobs, QueryPrintJobs());
  WriteReportToFile(); // write 3

  HWND window = CreateMainWindow(instance);
  if (window == nullptr) {
    return 0;
  }
  ShowWindow(window, showCommand);
  // From here on only the worker touches the report until it has ended.
  g_workerThread = CreateThread(nullptr, 0, CollectionThreadProc, nullptr, 0, nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  if (WorkerHasEnded()) {
    g_report.reset();
    return 0;
  }
  // The window is closed while the worker still collects or shows its box.
  // Returning would run the process's exit clean-up (static texts and lists
  // destroyed, libraries detached) under the running worker, so the process
  // ends here at once, releasing nothing; the report file keeps what was
  // written by then.
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}
