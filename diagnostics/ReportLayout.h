// The layout of the diagnostic report: a general part and sections 0 to 8,
// each made of its header line, its collector's text and its closing text,
// and the bytes that the report file holds for the report.
#pragma once

#include <string>
#include <string_view>

namespace tavrel {

enum class ReportPart {
  General,          // systeminfo output
  DiskSpace,        // section 0
  Printers,         // section 1
  PrintJobs,        // section 2
  Files,            // section 3
  CpuLoad,          // section 4
  Network,          // section 5
  Processes,        // section 6
  MissingLibraries, // section 7
  ErrorEvents,      // section 8
};

// The report file, relative to the process's current working directory.
inline constexpr std::u16string_view ReportFilePath = u".\\设备信息.dat";

// The part's header text, without its line end.
std::u16string_view ReportHeaderText(ReportPart part);

// What follows the collector's text: CR LF, or "%" CR LF after the CPU load.
std::u16string_view ReportClosingText(ReportPart part);

// Appends the header text and CR LF.
void AppendReportHeader(std::u16string &report, ReportPart part);

// Appends the part's closing text.
void AppendReportClosing(std::u16string &report, ReportPart part);

// Appends the whole part: header line, the collector's text as it is, and
// the closing text. An empty text still leaves the header and the closing.
void AppendReportPart(std::u16string &report, ReportPart part, std::u16string_view collectorText);

// What the report file holds for the report: its UTF-8 bytes without a
// byte-order mark, up to the first NUL character. Surrogate pairs become
// four-byte sequences and unpaired surrogates U+FFFD, so the bytes are
// always valid UTF-8.
std::string ReportFileBytes(std::u16string_view report);

} // namespace tavrel
