// The report file writer on disk: the bytes it leaves, and the boxes it
// shows (answered by the test on the writer's own thread).
#include "win/ReportFile.h"
#include "ReportLayout.h"
#include "TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using namespace tavrel;
using namespace tavrel::test;
using namespace std::string_literals;

TEST(WriteReportFile, ReplacesALongerEarlierFileWithTheReportAsUtf8) {
  ScratchFolder folder;
  const std::wstring path = folder.path() + L"\\设备信息.dat";
  WriteBytes(path, std::string(10000, 'x'));
  std::u16string report;
  AppendReportPart(report, ReportPart::General, u"OS 名称: Windows \U0001F5A8\r\n");
  report += u"lone \xDC00 and NUL\0after the NUL"s;
  MessageBoxWatcher watcher;
  WriteReportFile(report, U16(path), false);
  EXPECT_EQ(ReadBytes(path), "<<<<<<<<<  设备的通用信息  " + std::string(24, '>') +
                                 "\r\nOS 名称: Windows \xF0\x9F\x96\xA8\r\n\r\nlone \xEF\xBF\xBD and NUL");
  EXPECT_TRUE(watcher.boxes.empty());
}

TEST(WriteReportFile, TheReportPathIsRelativeToTheWorkingDirectory) {
  ScratchFolder folder;
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
  WriteReportFile(u"report", std::u16string(ReportFilePath), false);
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(ReadBytes(folder.path() + L"\\设备信息.dat"), "report");
}

TEST(WriteReportFile, AFileThatCannotBeOpenedShowsTheErrorBoxAndKeepsItsContent) {
  ScratchFolder folder;
  const std::wstring path = folder.path() + L"\\设备信息.dat";
  WriteBytes(path, "earlier run");
  // Another program holds the file without sharing it.
  HANDLE locked = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  {
    MessageBoxWatcher watcher;
    WriteReportFile(u"new report", U16(path), false);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].caption, L"错误");
    EXPECT_EQ(watcher.boxes[0].text, L"无法打开文件进行写入");
    EXPECT_TRUE(watcher.boxes[0].hasIcon);
  }
  CloseHandle(locked);
  EXPECT_EQ(ReadBytes(path), "earlier run");

  MessageBoxWatcher watcher;
  WriteReportFile(u"new report", U16(folder.path() + L"\\no such folder\\x.dat"), false);
  EXPECT_EQ(watcher.boxes.size(), 1u);
}

TEST(WriteReportFile, AppendingAddsAtTheEndAndConfirms) {
  ScratchFolder folder;
  const std::wstring path = folder.path() + L"\\append.dat";
  WriteBytes(path, "first ");
  MessageBoxWatcher watcher;
  WriteReportFile(u"第二", U16(path), true);
  EXPECT_EQ(ReadBytes(path), "first 第二");
  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_EQ(watcher.boxes[0].caption, L"完成");
  EXPECT_EQ(watcher.boxes[0].text, L"文件写入成功！");
  EXPECT_FALSE(watcher.boxes[0].hasIcon);
}

} // namespace
