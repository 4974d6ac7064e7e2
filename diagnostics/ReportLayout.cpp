#include "ReportLayout.h"

#include "Utf8Text.h"

namespace tavrel {

std::u16string_view ReportHeaderText(ReportPart part) {
  switch (part) {
  case ReportPart::General:
    return u"<<<<<<<<<  设备的通用信息  >>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::DiskSpace:
    return u"0.磁盘空间信息 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::Printers:
    return u"1.打印机列表数据>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::PrintJobs:
    return u"2.打印任务列表数据>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::Files:
    return u"3.程序目录下的所有文件 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::CpuLoad:
    return u"4.设备的CPU负载 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::Network:
    return u"5.网络环境验证 >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::Processes:
    return u"6.当前Menuviaexe 的进程列表>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::MissingLibraries:
    return u"7.当前系统的依赖库缺失的依赖文件列表>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  case ReportPart::ErrorEvents:
    return u"8.当前系统的系统错误日志列表>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>";
  }
  return u"";
}

std::u16string_view ReportClosingText(ReportPart part) {
  return part == ReportPart::CpuLoad ? u"%\r\n" : u"\r\n";
}

void AppendReportHeader(std::u16string &report, ReportPart part) {
  report += ReportHeaderText(part);
  report += u"\r\n";
}

void AppendReportClosing(std::u16string &report, ReportPart part) {
  report += ReportClosingText(part);
}

void AppendReportPart(std::u16string &report, ReportPart part, std::u16string_view collectorText) {
  AppendReportHeader(report, part);
  report += collectorText;
  AppendReportClosing(report, part);
}

std::string ReportFileBytes(std::u16string_view report) {
  return pos::EncodeUtf8(report.substr(0, report.find(u'\0')));
}

} // namespace tavrel
