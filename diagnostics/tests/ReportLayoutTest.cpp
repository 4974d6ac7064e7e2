#include "ReportLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tavrel;

struct HeaderCase {
  ReportPart part;
  std::u16string title; // everything before the '>' run, blanks included
  size_t arrows;
};

TEST(ReportLayout, HeadersCarryTheirTitleBlanksAndArrowCount) {
  const HeaderCase cases[] = {
      {ReportPart::General, u"<<<<<<<<<  设备的通用信息  ", 24},
      {ReportPart::DiskSpace, u"0.磁盘空间信息 ", 33},
      {ReportPart::Printers, u"1.打印机列表数据", 32},
      {ReportPart::PrintJobs, u"2.打印任务列表数据", 31},
      {ReportPart::Files, u"3.程序目录下的所有文件 ", 29},
      {ReportPart::CpuLoad, u"4.设备的CPU负载 ", 32},
      {ReportPart::Network, u"5.网络环境验证 ", 32},
      {ReportPart::Processes, u"6.当前Menuviaexe 的进程列表", 31},
      {ReportPart::MissingLibraries, u"7.当前系统的依赖库缺失的依赖文件列表", 31},
      {ReportPart::ErrorEvents, u"8.当前系统的系统错误日志列表", 31},
  };
  for (const HeaderCase &c : cases) {
    EXPECT_EQ(ReportHeaderText(c.part), c.title + std::u16string(c.arrows, u'>'));
  }
}

TEST(ReportLayout, EveryPartIsHeaderTextAndClosing) {
  std::u16string report;
  AppendReportPart(report, ReportPart::General, u"Host Name: POS1\r\n");
  AppendReportPart(report, ReportPart::DiskSpace, u"");
  AppendReportPart(report, ReportPart::CpuLoad, u"12");
  AppendReportHeader(report, ReportPart::ErrorEvents);
  report += u"no line end";
  AppendReportClosing(report, ReportPart::ErrorEvents);

  const std::u16string expected =
      std::u16string(ReportHeaderText(ReportPart::General)) + u"\r\nHost Name: POS1\r\n\r\n" +
      std::u16string(ReportHeaderText(ReportPart::DiskSpace)) + u"\r\n\r\n" +
      std::u16string(ReportHeaderText(ReportPart::CpuLoad)) + u"\r\n12%\r\n" +
      std::u16string(ReportHeaderText(ReportPart::ErrorEvents)) + u"\r\nno line end\r\n";
  EXPECT_EQ(report, expected);
}

TEST(ReportFileBytes, Utf8WithoutByteOrderMarkUpToTheFirstNul) {
  std::u16string report;
  AppendReportPart(report, ReportPart::General, u"x");
  const std::string bytes = ReportFileBytes(report);
  EXPECT_EQ(bytes.substr(0, 10), "<<<<<<<<< ");
  EXPECT_EQ(bytes, "<<<<<<<<<  设备的通用信息  " + std::string(24, '>') + "\r\nx\r\n");

  EXPECT_EQ(ReportFileBytes(std::u16string(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(ReportFileBytes(u"\U0001F5A8 printer \xD800!"), "\xF0\x9F\x96\xA8 printer \xEF\xBF\xBD!");
}

TEST(ReportLayout, FilePathIsTheReportNameInTheWorkingDirectory) {
  EXPECT_EQ(ReportFilePath, u".\\设备信息.dat");
}

} // namespace
