// The disk, file, process and system-library collectors on the machine
// that Wine presents, and on folders and processes the tests prepare.
#include "MissingLibraries.h"
#include "TestSupport.h"
#include "win/DependencyCollectors.h"
#include "win/DiskCollectors.h"
#include "win/ProcessCollectors.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace {

using namespace tavrel;
using namespace tavrel::test;

std::vector<std::wstring> lines(const std::u16string &text) {
  std::vector<std::wstring> out;
  const std::wstring wide = Wide(text);
  size_t at = 0;
  while (at < wide.size()) {
    const size_t end = wide.find(L"\r\n", at);
    EXPECT_NE(end, std::wstring::npos) << "every line ends with CR LF";
    if (end == std::wstring::npos) {
      break;
    }
    out.push_back(wide.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

TEST(BuildDiskSpaceReport, TwoLinesForEveryReadableDrive) {
  wchar_t modulePath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
  const std::wstring programDrive = std::wstring(modulePath).substr(0, std::wstring(modulePath).find(L'\\'));

  std::vector<std::wstring> readable;
  wchar_t drives[2048] = {};
  GetLogicalDriveStringsW(2048, drives);
  for (const wchar_t *root = drives; *root != L'\0'; root += wcslen(root) + 1) {
    ULARGE_INTEGER a, b, c;
    if (GetDiskFreeSpaceExW(root, &a, &b, &c)) {
      readable.push_back(root);
    }
  }
  ASSERT_FALSE(readable.empty());

  const std::vector<std::wstring> report = lines(BuildDiskSpaceReport());
  ASSERT_EQ(report.size(), readable.size() * 2);
  const std::wregex driveLine(L"(.+) - 总共空间: ([0-9]+) MB, 空余空间: ([0-9]+) MB, 可用空间: ([0-9]+) MB");
  for (size_t i = 0; i < readable.size(); ++i) {
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(report[2 * i], match, driveLine)) << report[2 * i];
    EXPECT_EQ(match[1].str(), readable[i]);
    ULARGE_INTEGER freeToCaller, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExW(readable[i].c_str(), &freeToCaller, &total, &totalFree));
    EXPECT_EQ(match[2].str(), std::to_wstring(total.QuadPart >> 20));
    EXPECT_EQ(report[2 * i + 1], L"当前的次磁盘为：" + programDrive);
  }
}

// A prepared folder as the working directory for the life of the object.
class WorkingDirectory {
public:
  explicit WorkingDirectory(const std::wstring &path) {
    GetCurrentDirectoryW(MAX_PATH, saved_);
    ok_ = SetCurrentDirectoryW(path.c_str()) != FALSE;
  }
  ~WorkingDirectory() { SetCurrentDirectoryW(saved_); }
  WorkingDirectory(const WorkingDirectory &) = delete;
  WorkingDirectory &operator=(const WorkingDirectory &) = delete;
  bool ok() const { return ok_; }

private:
  wchar_t saved_[MAX_PATH] = {};
  bool ok_ = false;
};

TEST(ListWorkingDirectoryFiles, ListsEveryFileOfThePreparedTree) {
  ScratchFolder folder;
  const std::wstring &root = folder.path();
  ASSERT_TRUE(CreateDirectoryW((root + L"\\lib").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\lib\\deep").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\empty").c_str(), nullptr));
  for (const wchar_t *name : {L"\\a.txt", L"\\z.txt", L"\\设备信息.dat", L"\\hidden.bin", L"\\lib\\b.dll",
                              L"\\lib\\c.dll", L"\\lib\\deep\\d.dat"}) {
    WriteBytes(root + name, "x");
  }
  ASSERT_TRUE(
      SetFileAttributesW((root + L"\\hidden.bin").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

  std::u16string listing = u"before\r\n";
  {
    WorkingDirectory cwd(root);
    ASSERT_TRUE(cwd.ok());
    ListWorkingDirectoryFiles(listing);
  }
  std::vector<std::wstring> listed = lines(listing);
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed.front(), L"before");
  listed.erase(listed.begin());

  // The order is the file system's; what is checked is that a folder's
  // files stand together where the folder is met.
  const auto firstLib = std::find_if(
      listed.begin(), listed.end(), [](const std::wstring &line) { return line.rfind(L" \\lib\\", 0) == 0; });
  const auto libCount = std::count_if(
      listed.begin(), listed.end(), [](const std::wstring &line) { return line.rfind(L" \\lib\\", 0) == 0; });
  ASSERT_NE(firstLib, listed.end());
  EXPECT_TRUE(std::all_of(firstLib, firstLib + libCount,
                          [](const std::wstring &line) { return line.rfind(L" \\lib\\", 0) == 0; }));

  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed,
            (std::vector<std::wstring>{L" \\a.txt", L" \\hidden.bin", L" \\lib\\b.dll", L" \\lib\\c.dll",
                                       L" \\lib\\deep\\d.dat", L" \\z.txt", L" \\设备信息.dat"}));
}

TEST(ListWorkingDirectoryFiles, ADirectoryLongerThanItsBufferListsNothing) {
  ScratchFolder folder;
  std::wstring deep = folder.path();
  while (deep.size() < MAX_PATH + 20) {
    deep += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  WriteBytes(L"\\\\?\\" + deep + L"\\f.txt", "x");
  std::u16string listing;
  StderrCapture stderrCapture;
  {
    WorkingDirectory cwd(deep);
    ASSERT_TRUE(cwd.ok());
    ListWorkingDirectoryFiles(listing);
  }
  EXPECT_EQ(listing, u"");
  EXPECT_EQ(stderrCapture.finish().rfind("GetCurrentDirectory failed. Error: 206", 0), 0u);
}

TEST(ListFilesRecursive, ListsUnderTheGivenPrefix) {
  ScratchFolder folder;
  ASSERT_TRUE(CreateDirectoryW((folder.path() + L"\\sub").c_str(), nullptr));
  WriteBytes(folder.path() + L"\\sub\\f.txt", "x");
  std::u16string listing;
  ListFilesRecursive(U16(folder.path()), u"", listing);
  EXPECT_EQ(listing, u"sub\\f.txt\r\n");
}

// A running stand-in of the point-of-sale application, ended with the object.
class RunningStandIn {
public:
  RunningStandIn() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring line =
        L"\"" + std::wstring(path).substr(0, std::wstring(path).rfind(L'\\')) + L"\\BrisqoMenuvia.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_) != FALSE;
  }
  ~RunningStandIn() {
    if (started_) {
      TerminateProcess(process_.hProcess, 0);
      WaitForSingleObject(process_.hProcess, 10000);
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
  }
  RunningStandIn(const RunningStandIn &) = delete;
  RunningStandIn &operator=(const RunningStandIn &) = delete;
  bool started() const { return started_; }
  DWORD id() const { return process_.dwProcessId; }

private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

TEST(ListProcessesByName, FindsBothRunningInstancesWithTheirIds) {
  EXPECT_EQ(ListProcessesByName(u"BrisqoMenuvia.exe"), u"");
  RunningStandIn first;
  RunningStandIn second;
  ASSERT_TRUE(first.started() && second.started());
  std::vector<std::wstring> found = lines(ListProcessesByName(u"brisqomenuvia.EXE"));
  std::sort(found.begin(), found.end());
  std::vector<std::wstring> expected = {
      L"Process Name: BrisqoMenuvia.exe, PID: " + std::to_wstring(first.id()),
      L"Process Name: BrisqoMenuvia.exe, PID: " + std::to_wstring(second.id())};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
  EXPECT_EQ(ListProcessesByName(u"Menuvia.exe"), u"");
}

TEST(ListAllProcesses, ListsThisProcess) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring name = std::wstring(path).substr(std::wstring(path).rfind(L'\\') + 1);
  const std::vector<std::wstring> all = lines(ListAllProcesses());
  EXPECT_NE(std::find(all.begin(), all.end(),
                      L"Process Name: " + name + L", PID: " + std::to_wstring(GetCurrentProcessId())),
            all.end());
}

TEST(ListSystemDirectoryModules, ListsLibrariesAndDriversOfTheSystemDirectory) {
  const std::u16string listing = ListSystemDirectoryModules();
  EXPECT_EQ(listing.rfind(u'\n'), listing.size() - 1);
  EXPECT_NE(listing.find(u"\nkernel32.dll\n"), std::u16string::npos);
  EXPECT_NE(listing.find(u"\nwinspool.drv\n"), std::u16string::npos);
  // The .drv files follow every .dll file.
  EXPECT_LT(listing.rfind(u".dll\n"), listing.find(u".drv\n"));
}

TEST(BuildMissingDependencyReport, ChecksTheSystemDirectory) {
  const std::u16string text = BuildMissingDependencyReport();
  const std::u16string caseInsensitiveHeading = u"不区分大小写的检查的缺失依赖文件\r\n";
  ASSERT_EQ(text.rfind(u"缺失依赖文件\r\n", 0), 0u);
  const size_t second = text.find(caseInsensitiveHeading);
  ASSERT_NE(second, std::u16string::npos);
  const std::vector<std::wstring> exact = lines(text.substr(0, second));
  const std::vector<std::wstring> folded = lines(text.substr(second + caseInsensitiveHeading.size()));

  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  for (const std::u16string &name : g_dependencyDlls) {
    const std::wstring wide = Wide(name);
    // The system directory's names are all lower case, and the file system
    // finds a file whatever the letter case of the name asked for.
    const bool present =
        GetFileAttributesW((std::wstring(system) + L"\\" + wide).c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool listedExact = std::find(exact.begin(), exact.end(), wide) != exact.end();
    const bool listedFolded = std::find(folded.begin(), folded.end(), wide) != folded.end();
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    EXPECT_EQ(listedFolded, !present);
    EXPECT_EQ(listedExact, !present || name != ToLowerCopy(name));
  }
  EXPECT_NE(std::find(exact.begin(), exact.end(), L"KERNEL32.dll"), exact.end());
}

} // namespace
