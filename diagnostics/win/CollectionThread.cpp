#include "CollectionThread.h"

#include "CommandRunner.h"
#include "Connectivity.h"
#include "CpuLoad.h"
#include "DependencyCollectors.h"
#include "DiskCollectors.h"
#include "ProcessCollectors.h"
#include "ProgramState.h"
#include "ReportFile.h"
#include "ReportLayout.h"
#include "WideText.h"

namespace tavrel {
namespace {

constexpr char16_t MenuviaExecutable[] = u"BrisqoMenuvia.exe";

// Hands the whole report to the edit control; the window copies it while
// this thread waits, so the text does not change meanwhile.
void ShowReportInWindow() {
  SendMessageW(g_editWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WidePointer(*g_report)));
}

} // namespace

void WriteReportToFile() {
  WriteReportFile(*g_report, std::u16string(ReportFilePath), false);
}

DWORD WINAPI CollectionThreadProc(LPVOID) {
  std::u16string &report = *g_report;

  std::u16string files;
  ListWorkingDirectoryFiles(files);
  AppendReportPart(report, ReportPart::Files, files);
  WriteReportToFile(); // write 4

  AppendReportPart(report, ReportPart::CpuLoad, BuildCpuLoadText());
  AppendReportPart(report, ReportPart::Network, BuildNetworkReport());
  AppendReportPart(report, ReportPart::Processes, ListProcessesByName(MenuviaExecutable));
  AppendReportPart(report, ReportPart::MissingLibraries, BuildMissingDependencyReport());
  AppendReportHeader(report, ReportPart::ErrorEvents);
  g_eventLogText = QueryErrorEventsViaPowerShell();
  report += g_eventLogText;
  AppendReportClosing(report, ReportPart::ErrorEvents);
  WriteReportToFile(); // write 5

  ShowReportInWindow();
  WriteReportToFile(); // write 6
  MessageBoxW(nullptr, CompletionText, CompletionCaption, MB_OK);
  ShowReportInWindow();
  return 0;
}

} // namespace tavrel
