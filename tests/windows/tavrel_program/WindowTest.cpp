// The shipped Tavrel.exe under Wine on a display, started in a prepared
// working directory against stand-ins: the report file, the window, the
// message boxes, resizing and closing, as a user meets them.
#include <winsock2.h>

#include <windows.h>

#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

#include "CpuLoadText.h"
#include "NetworkReportText.h"
#include "ProbeEndpoints.h"
#include "StandInTexts.h"
#include "TavrelSession.h"
#include "WmiQueries.h"

namespace tavrel::test {
namespace {

using Mode = LoopbackHttpServer::Mode;

const std::u16string kCollecting = u"正在检测系统信息数据，请稍后！！";
const std::u16string kDoneCaption = u"完成";
const std::u16string kDoneText = u"系统数据检测完成！";
const std::u16string kFileErrorCaption = u"错误";
const std::u16string kFileErrorText = u"无法打开文件进行写入";

enum Part {
  kGeneral,
  kDisks,
  kPrinters,
  kPrintJobs,
  kFiles,
  kCpu,
  kNetwork,
  kProcesses,
  kLibraries,
  kEvents
};

class TavrelWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { servers_ = new ProbeServers(); }
  static void TearDownTestSuite() {
    delete servers_;
    servers_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(servers_->Listening()) << "a probe port is taken";
    servers_->SetMode(Mode::Answer);
  }
  static ProbeServers *servers_;
};
ProbeServers *TavrelWindowTest::servers_ = nullptr;

bool Contains(const std::u16string &text, const std::u16string &part) {
  return text.find(part) != std::u16string::npos;
}

std::u16string Decimal(unsigned long value) {
  return U16(std::to_wstring(value));
}

// What section 5 holds when every endpoint gives the success count.
std::u16string ExpectedNetworkSection(int successes) {
  std::u16string text;
  DWORD flags = 0;
  if (InternetGetConnectedState(&flags, 0)) {
    text = u"网络连接正常。\r\n";
    AppendConnectedStateLines(text, flags);
  } else {
    text = u"无法确定网络连接状态。\r\n";
  }
  const std::string host = probe_settings::VendorServiceHost;
  text += u"链接百度10次，成功了" + Decimal(successes) + u"次。\r\n";
  text += u"链接 " + std::u16string(host.begin(), host.end()) + u" 10次，成功了" + Decimal(successes) +
          u"次。\r\n";
  return text + u"\r\n";
}

// Waits for the next box; error boxes of the file writer are counted and
// closed on the way.
std::optional<MessageBoxSeen> WaitForCompletionBox(const TavrelWindows &windows, int &fileErrorBoxes) {
  std::optional<MessageBoxSeen> completion;
  WaitFor([&] {
    std::optional<MessageBoxSeen> box = windows.MessageBox();
    if (!box) {
      return false;
    }
    if (box->caption == kFileErrorCaption && box->text == kFileErrorText) {
      ++fileErrorBoxes;
      TavrelWindows::Dismiss(*box);
      return false;
    }
    completion = box;
    return true;
  });
  return completion;
}

void ExpectEditControlWithinMargins(HWND main, HWND edit) {
  RECT client{};
  GetClientRect(main, &client);
  const bool placed = WaitFor(
      [&] {
        RECT now{};
        GetWindowRect(edit, &now);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT *>(&now), 2);
        return now.left == 10 && now.top == 10 && now.right == client.right - 10 &&
               now.bottom == client.bottom - 10;
      },
      10000);
  EXPECT_TRUE(placed) << "client " << client.right << "x" << client.bottom;
}

TEST(TavrelFile, GuiProgramForX64WithItsManifest) {
  const std::optional<std::string> image = ReadFileBytes(g_tavrelPath);
  ASSERT_TRUE(image && image->size() > sizeof(IMAGE_DOS_HEADER));
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(image->data());
  ASSERT_LT(static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64), image->size());
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(image->data() + dos->e_lfanew);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

  HMODULE module = LoadLibraryExW(g_tavrelPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char *>(LockResource(LoadResource(module, found))),
                             SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
  for (const char *os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                         "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + os + "\"/>"), std::string::npos) << os;
  }
}

// The whole run: the file with every part, the window showing exactly the
// file's text, the completion box after the last write, resizing, closing.
TEST_F(TavrelWindowTest, FullRun) {
  TavrelSession session(L"full");
  ASSERT_TRUE(session.Prepared());
  const int postsBefore = servers_->postHost.Requests();
  const int publicChecksBefore = servers_->publicSiteCheck.Connections();
  const int vendorChecksBefore = servers_->vendorServiceCheck.Connections();
  std::unique_ptr<ChildProcess> tavrel = session.StartTavrel();
  ASSERT_TRUE(tavrel->Started());
  TavrelWindows windows(tavrel->Id());

  int fileErrors = 0;
  const std::optional<MessageBoxSeen> done = WaitForCompletionBox(windows, fileErrors);
  ASSERT_TRUE(done) << "no completion box";
  EXPECT_EQ(fileErrors, 0);
  EXPECT_EQ(done->caption, kDoneCaption);
  EXPECT_EQ(done->text, kDoneText);

  // Complete when the box is shown: UTF-8 without a byte-order mark.
  const std::optional<std::string> bytes = ReadFileBytes(session.ReportPath());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->substr(0, 9), "<<<<<<<<<");
  const std::u16string report = FromUtf8(*bytes);
  const std::optional<std::vector<std::u16string>> parts = SplitReport(report);
  ASSERT_TRUE(parts) << "headers out of order";
  ASSERT_EQ(parts->size(), 10u);
  const std::vector<std::u16string> &part = *parts;

  EXPECT_EQ(part[kGeneral], FromAnsi(kSystemInfoOutput) + u"\r\n");
  EXPECT_TRUE(Contains(part[kDisks], u"当前的次磁盘为：")) << Wide(part[kDisks]);
  EXPECT_EQ(part[kPrinters], QueryPrinters() + u"\r\n");
  EXPECT_EQ(part[kPrintJobs], QueryPrintJobs() + u"\r\n");
  for (const char16_t *file :
       {u" \\设备信息.dat\r\n", u" \\powershell.exe\r\n", u" \\BrisqoMenuvia.exe\r\n"}) {
    EXPECT_TRUE(Contains(part[kFiles], file)) << Wide(file);
  }
  // A number in the stream's general format, then "%" and CR LF.
  ASSERT_GE(part[kCpu].size(), 4u);
  const std::u16string load = part[kCpu].substr(0, part[kCpu].size() - 3);
  EXPECT_EQ(part[kCpu].substr(load.size()), u"%\r\n");
  EXPECT_EQ(FormatCpuLoad(std::stod(Wide(load))), load);
  EXPECT_EQ(part[kNetwork], ExpectedNetworkSection(10));
  // Each probe tested its own address ten times, and each sent its ten POSTs.
  EXPECT_EQ(servers_->publicSiteCheck.Connections() - publicChecksBefore, 10);
  EXPECT_EQ(servers_->vendorServiceCheck.Connections() - vendorChecksBefore, 10);
  EXPECT_EQ(servers_->postHost.Requests() - postsBefore, 20);
  EXPECT_EQ(part[kProcesses],
            u"Process Name: BrisqoMenuvia.exe, PID: " + Decimal(session.MenuviaProcessId()) + u"\r\n\r\n");
  EXPECT_EQ(part[kEvents], FromAnsi(kEventQueryOutput) + u"\r\n");

  // Section 7 against Wine's system directory, whose files are named in
  // lower case: the exact pass misses "KERNEL32.dll", the other pass nothing
  // of kernel32.
  const std::u16string &libraries = part[kLibraries];
  const std::u16string secondHeading = u"不区分大小写的检查的缺失依赖文件\r\n";
  EXPECT_EQ(libraries.rfind(u"缺失依赖文件\r\n", 0), 0u);
  const std::size_t second = libraries.find(secondHeading);
  ASSERT_NE(second, std::u16string::npos);
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  WIN32_FIND_DATAW kernel{};
  HANDLE search = FindFirstFileW((std::wstring(system) + L"\\kernel32.dll").c_str(), &kernel);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  ASSERT_STREQ(kernel.cFileName, L"kernel32.dll");
  EXPECT_TRUE(Contains(libraries.substr(0, second), u"\r\nKERNEL32.dll\r\n"));
  EXPECT_FALSE(Contains(libraries.substr(0, second), u"\r\nkernel32.dll\r\n"));
  EXPECT_FALSE(Contains(libraries.substr(second), u"KERNEL32.dll"));
  EXPECT_FALSE(Contains(libraries.substr(second), u"kernel32.dll"));

  // The window shows exactly the file's text while the box is open, and
  // again after it is closed.
  HWND main = windows.MainWindow();
  HWND edit = windows.EditControl();
  ASSERT_NE(main, nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(WindowText(edit), report);
  ASSERT_TRUE(TavrelWindows::Dismiss(*done));
  EXPECT_EQ(WindowText(edit), report);
  EXPECT_EQ(ReadFileBytes(session.ReportPath()), bytes);

  // The window and its control.
  EXPECT_EQ(WindowText(main), u"设备信息");
  RECT outer{};
  GetWindowRect(main, &outer);
  EXPECT_EQ(outer.right - outer.left, 1000);
  EXPECT_EQ(outer.bottom - outer.top, 680);
  EXPECT_EQ(GetDlgCtrlID(edit), 1);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(edit, GWL_STYLE)) & ~static_cast<DWORD>(WS_CLIPSIBLINGS),
            0x50200844u);
  EXPECT_EQ(GetWindowLongW(edit, GWL_EXSTYLE), 0);
  ExpectEditControlWithinMargins(main, edit);
  for (const SIZE size : {SIZE{700, 450}, SIZE{1010, 700}, SIZE{320, 200}}) {
    SetWindowPos(main, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ExpectEditControlWithinMargins(main, edit);
  }

  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(tavrel->WaitForExit(), std::optional<DWORD>(0));
}

// Hosts that answer with an empty body count no success; arguments on the
// command line change nothing.
TEST_F(TavrelWindowTest, EmptyAnswersAndArguments) {
  servers_->SetMode(Mode::EmptyBody);
  TavrelSession session(L"empty");
  ASSERT_TRUE(session.Prepared());
  const int postsBefore = servers_->postHost.Requests();
  std::unique_ptr<ChildProcess> tavrel =
      session.StartTavrel(L"Tavrel.exe /verbose C:\\elsewhere --report=x.txt");
  ASSERT_TRUE(tavrel->Started());
  TavrelWindows windows(tavrel->Id());
  int fileErrors = 0;
  const std::optional<MessageBoxSeen> done = WaitForCompletionBox(windows, fileErrors);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->text, kDoneText);
  const std::u16string report = FromUtf8(ReadFileBytes(session.ReportPath()).value_or(""));
  const std::optional<std::vector<std::u16string>> parts = SplitReport(report);
  ASSERT_TRUE(parts && parts->size() == 10u);
  EXPECT_EQ((*parts)[kNetwork], ExpectedNetworkSection(0));
  EXPECT_EQ(servers_->postHost.Requests() - postsBefore, 20); // every POST was sent and answered
  EXPECT_EQ(WindowText(windows.EditControl()), report);
  ASSERT_TRUE(TavrelWindows::Dismiss(*done));
  PostMessageW(windows.MainWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(tavrel->WaitForExit(), std::optional<DWORD>(0));
}

// Closing the window while the worker waits for a probe answer ends the
// process at once with exit code 0; the file keeps the general part and
// sections 0 to 3.
TEST_F(TavrelWindowTest, ClosingWhileProbing) {
  servers_->SetMode(Mode::Silent);
  TavrelSession session(L"silent");
  ASSERT_TRUE(session.Prepared());
  std::unique_ptr<ChildProcess> tavrel = session.StartTavrel();
  ASSERT_TRUE(tavrel->Started());
  TavrelWindows windows(tavrel->Id());
  ASSERT_EQ(WaitForSingleObject(servers_->postHost.SilentRequestArrived(), kStepBoundMs), WAIT_OBJECT_0);

  const std::optional<std::string> written = ReadFileBytes(session.ReportPath());
  ASSERT_TRUE(written);
  const std::optional<std::vector<std::u16string>> parts = SplitReport(FromUtf8(*written));
  ASSERT_TRUE(parts);
  ASSERT_EQ(parts->size(), 5u); // the general part and sections 0 to 3
  EXPECT_TRUE(Contains(parts->back(), u" \\设备信息.dat\r\n"));
  EXPECT_EQ(parts->back().substr(parts->back().size() - 4), u"\r\n\r\n");
  ASSERT_TRUE(WaitFor([&] { return windows.EditControl() != nullptr; }));
  EXPECT_EQ(WindowText(windows.EditControl()), kCollecting);

  PostMessageW(windows.MainWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(tavrel->WaitForExit(30000), std::optional<DWORD>(0));
  EXPECT_EQ(ReadFileBytes(session.ReportPath()), written);
}

// A report file that cannot be opened (another program holds it without
// sharing): an error box at each of the six writes, and the run still ends
// with the report in the window.
TEST_F(TavrelWindowTest, ReportFileThatCannotBeOpened) {
  TavrelSession session(L"locked");
  ASSERT_TRUE(session.Prepared());
  HANDLE held = CreateFileW(session.ReportPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::unique_ptr<ChildProcess> tavrel = session.StartTavrel();
  ASSERT_TRUE(tavrel->Started());
  TavrelWindows windows(tavrel->Id());

  int fileErrors = 0;
  const std::optional<MessageBoxSeen> done = WaitForCompletionBox(windows, fileErrors);
  ASSERT_TRUE(done);
  EXPECT_EQ(fileErrors, 6);
  EXPECT_EQ(done->caption, kDoneCaption);
  const std::optional<std::u16string> shown = WindowText(windows.EditControl());
  ASSERT_TRUE(shown);
  const std::optional<std::vector<std::u16string>> parts = SplitReport(*shown);
  ASSERT_TRUE(parts && parts->size() == 10u);
  EXPECT_EQ((*parts)[kGeneral], FromAnsi(kSystemInfoOutput) + u"\r\n");
  EXPECT_TRUE(Contains((*parts)[kFiles], u" \\设备信息.dat\r\n"));
  EXPECT_EQ((*parts)[kEvents], FromAnsi(kEventQueryOutput) + u"\r\n");
  ASSERT_TRUE(TavrelWindows::Dismiss(*done));
  PostMessageW(windows.MainWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(tavrel->WaitForExit(), std::optional<DWORD>(0));

  LARGE_INTEGER size{};
  GetFileSizeEx(held, &size);
  EXPECT_EQ(size.QuadPart, 0); // left as it was
  CloseHandle(held);
}

} // namespace
} // namespace tavrel::test

int wmain(int argc, wchar_t **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: tavrel_window_test <Tavrel.exe>\n");
    return 2;
  }
  tavrel::test::g_tavrelPath = argv[1];
  return RUN_ALL_TESTS();
}
