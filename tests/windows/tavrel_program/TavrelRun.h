#pragma once
// Runs the shipped Tavrel.exe in a prepared working directory and watches it
// from outside, as a user would see it: its windows, message boxes, the edit
// control's text and the report file. Every wait is bounded.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrel::test {

// The longest any one step of a run may take.
inline constexpr DWORD kStepBoundMs = 120000;

// Polls the condition every 20 ms until it holds or the time is up.
template <typename Condition> bool WaitFor(Condition condition, DWORD timeoutMs = kStepBoundMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() >= end) {
      return false;
    }
    Sleep(20);
  }
  return true;
}

// A fresh directory under the temporary folder, removed with its content.
class WorkDirectory {
public:
  explicit WorkDirectory(const std::wstring &name);
  ~WorkDirectory();
  WorkDirectory(const WorkDirectory &) = delete;
  WorkDirectory &operator=(const WorkDirectory &) = delete;
  const std::wstring &Path() const { return path_; }
  std::wstring File(const std::wstring &name) const { return path_ + L"\\" + name; }

private:
  std::wstring path_;
};

// A started process, ended when the object goes if it still runs.
class ChildProcess {
public:
  // Starts the program with the command line in the directory; Started()
  // tells whether it worked. With an output file, the program's standard
  // output and error go there (created anew), and it has no standard input.
  ChildProcess(const std::wstring &program, const std::wstring &commandLine, const std::wstring &directory,
               const std::wstring &outputFile = L"");
  ~ChildProcess();
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;
  bool Started() const { return process_ != nullptr; }
  DWORD Id() const { return id_; }
  // The exit code once it has ended within the time; nothing otherwise.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs = kStepBoundMs);

private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// A message box of the watched process: its caption and its text.
struct MessageBoxSeen {
  HWND window;
  std::u16string caption;
  std::u16string text;
};

// The watched Tavrel.exe.
class TavrelWindows {
public:
  explicit TavrelWindows(DWORD processId) : processId_(processId) {}
  // The main window once it exists.
  HWND MainWindow() const;
  HWND EditControl() const;
  // A visible message box whose text has been set.
  std::optional<MessageBoxSeen> MessageBox() const;
  // Presses OK and waits until the box is gone.
  static bool Dismiss(const MessageBoxSeen &box);

private:
  DWORD processId_;
};

// The window's text, read with WM_GETTEXT (bounded); nothing when the window
// does not answer.
std::optional<std::u16string> WindowText(HWND window);

// The file's bytes; nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::wstring &path);
std::u16string FromUtf8(const std::string &bytes);
std::u16string FromAnsi(const std::string &bytes);
std::wstring Wide(const std::u16string &text);
std::u16string U16(const std::wstring &text);

// The report's parts: the header lines in order, each part's text between
// its header line and the next header line (the closing text included).
// Nothing when the headers are not there in order, one each.
std::optional<std::vector<std::u16string>> SplitReport(const std::u16string &report);
// The header texts of the general part and sections 0 to 8.
const std::vector<std::u16string> &ReportHeaders();

// Copies a file; false when that failed.
bool CopyFileTo(const std::wstring &from, const std::wstring &to);
// The folder of this test program.
std::wstring OwnFolder();

} // namespace tavrel::test
