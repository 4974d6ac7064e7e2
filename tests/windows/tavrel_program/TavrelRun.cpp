#include "TavrelRun.h"

#include "RemoveTree.h"

namespace tavrel::test {
namespace {

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
  auto *search = reinterpret_cast<WindowSearch *>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) {
    search->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM parameter) {
  if (ClassName(child) == L"Static") {
    if (std::optional<std::u16string> text = WindowText(child)) {
      *reinterpret_cast<std::u16string *>(parameter) += *text;
    }
  }
  return TRUE;
}

} // namespace

WorkDirectory::WorkDirectory(const std::wstring &name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"tavrel-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
  RemoveTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

WorkDirectory::~WorkDirectory() {
  RemoveTree(path_);
}

ChildProcess::ChildProcess(const std::wstring &program, const std::wstring &commandLine,
                           const std::wstring &directory, const std::wstring &outputFile) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
      return;
    }
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION started{};
  std::wstring line = commandLine;
  const BOOL created =
      CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE, 0,
                     nullptr, directory.c_str(), &startup, &started);
  if (output != INVALID_HANDLE_VALUE) {
    CloseHandle(output);
  }
  if (created) {
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    id_ = started.dwProcessId;
  }
}

ChildProcess::~ChildProcess() {
  if (process_ != nullptr) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
  }
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs) {
  if (process_ == nullptr || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

HWND TavrelWindows::MainWindow() const {
  for (HWND window : VisibleTopLevelWindows(processId_)) {
    if (ClassName(window) == L"SystemInfoWindowClass") {
      return window;
    }
  }
  return nullptr;
}

HWND TavrelWindows::EditControl() const {
  HWND main = MainWindow();
  return main == nullptr ? nullptr : GetDlgItem(main, 1);
}

std::optional<MessageBoxSeen> TavrelWindows::MessageBox() const {
  for (HWND window : VisibleTopLevelWindows(processId_)) {
    if (ClassName(window) != L"#32770") {
      continue;
    }
    // A box can be visible before its text is set.
    std::u16string text;
    EnumChildWindows(window, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    if (text.empty()) {
      continue;
    }
    return MessageBoxSeen{window, WindowText(window).value_or(u""), text};
  }
  return std::nullopt;
}

bool TavrelWindows::Dismiss(const MessageBoxSeen &box) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(box.window, IDOK)), SMTO_ABORTIFHUNG, 10000,
                      &ignored);
  return WaitFor([&] { return !IsWindow(box.window); });
}

std::optional<std::u16string> WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length)) {
    return std::nullopt;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 10000, &copied)) {
    return std::nullopt;
  }
  text.resize(copied);
  return U16(text);
}

std::optional<std::string> ReadFileBytes(const std::wstring &path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0) {
    bytes.append(chunk, got);
  }
  CloseHandle(file);
  return bytes;
}

namespace {
std::u16string Decode(UINT codePage, const std::string &bytes) {
  if (bytes.empty()) {
    return {};
  }
  const int count =
      MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), count);
  return U16(wide);
}
} // namespace

std::u16string FromUtf8(const std::string &bytes) {
  return Decode(CP_UTF8, bytes);
}
std::u16string FromAnsi(const std::string &bytes) {
  return Decode(CP_ACP, bytes);
}
std::wstring Wide(const std::u16string &text) {
  return std::wstring(text.begin(), text.end());
}
std::u16string U16(const std::wstring &text) {
  return std::u16string(text.begin(), text.end());
}

const std::vector<std::u16string> &ReportHeaders() {
  static const std::vector<std::u16string> headers = {
      u"<<<<<<<<<  设备的通用信息  >>>>>>>>>>>>>>>>>>>>>>>>",
      u"0.磁盘空间信息 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"1.打印机列表数据>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"2.打印任务列表数据>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"3.程序目录下的所有文件 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"4.设备的CPU负载 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"5.网络环境验证 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"6.当前Menuviaexe 的进程列表>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"7.当前系统的依赖库缺失的依赖文件列表>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
      u"8.当前系统的系统错误日志列表>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>",
  };
  return headers;
}

std::optional<std::vector<std::u16string>> SplitReport(const std::u16string &report) {
  const std::vector<std::u16string> &headers = ReportHeaders();
  std::vector<std::u16string> parts;
  std::size_t at = 0;
  for (std::size_t i = 0; i < headers.size() && at < report.size(); ++i) {
    const std::u16string line = headers[i] + u"\r\n";
    if (report.compare(at, line.size(), line) != 0) {
      return std::nullopt;
    }
    const std::size_t start = at + line.size();
    std::size_t end = report.size();
    if (i + 1 < headers.size()) {
      end = report.find(headers[i + 1] + u"\r\n", start);
      if (end == std::u16string::npos) {
        end = report.size();
      }
    }
    parts.push_back(report.substr(start, end - start));
    at = end;
  }
  return parts;
}

bool CopyFileTo(const std::wstring &from, const std::wstring &to) {
  return CopyFileW(from.c_str(), to.c_str(), FALSE);
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring full = path;
  return full.substr(0, full.find_last_of(L"\\/"));
}

} // namespace tavrel::test
