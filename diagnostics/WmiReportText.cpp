#include "WmiReportText.h"

namespace tavrel {
namespace {

constexpr char16_t LineEnd[] = u"\r\n";

// A text widened to the given width by blanks before it, as a right-aligned
// stream insertion does; a longer text stays as it is.
std::u16string RightAligned(std::u16string_view text, std::size_t width) {
  std::u16string padded;
  if (text.size() < width) {
    padded.assign(width - text.size(), u' ');
  }
  padded.append(text);
  return padded;
}

void AppendLine(std::u16string &out, std::u16string_view label, const std::u16string &value) {
  out.append(label);
  out.append(value);
  out.append(LineEnd);
}

} // namespace

void AppendPrinterBlock(std::u16string &out, const PrinterProperties &printer) {
  // 21 hyphens, a blank, the title and 39 hyphens; a line feed alone ends it.
  out.append(u"--------------------- 打印机分隔线---------------------------------------\n");
  AppendLine(out, u"打印机名称:            ", TextOf(printer.name));
  AppendLine(out, u"Device ID:           ", TextOf(printer.deviceId));
  AppendLine(out, u"端口名称:              ", TextOf(printer.portName));
  AppendLine(out, u"Default:             ", IsTrue(printer.isDefault) ? u"Yes" : u"No");
  AppendLine(out, u"简略状态:              ", UnsignedText(printer.printerState));
  AppendLine(out, u"详细状态:              ", UnsignedText(printer.printerStatus));
  AppendLine(out, u"扩展状态:              ", UnsignedText(printer.extendedPrinterStatus));
}

void AppendPrintJobRow(std::u16string &out, const PrintJobProperties &job) {
  const std::u16string document = TextOf(job.document);
  out.append(document.empty() ? RightAligned(u" ", 4) + u";" : document + u"  ;");
  const std::u16string jobStatus = TextOf(job.jobStatus);
  out.append(jobStatus.empty() ? RightAligned(u"  ", 10) + u";" : jobStatus + u";");
  const std::u16string driverName = TextOf(job.driverName);
  out.append(driverName.empty() ? RightAligned(u"  ", 4) + u";" : driverName + u"  ;");
  const std::u16string status = TextOf(job.status);
  // An empty status ends the row without a semicolon, its line end widened.
  out.append(status.empty() ? RightAligned(u"  ", 4) + RightAligned(LineEnd, 20) : status + u"  ;" + LineEnd);
}

void AppendVideoControllerBlock(std::u16string &out, const VideoControllerProperties &controller) {
  AppendLine(out, u"Video Controller Name: ", TextOf(controller.name));
  AppendLine(out, u"Driver Version:         ", TextOf(controller.driverVersion));
  AppendLine(out, u"Description:            ", TextOf(controller.description));
  out.append(u"Adapter RAM:            ");
  std::uint32_t bytes = 0;
  if (NumberOf(controller.adapterRam, bytes)) {
    out.append(UnsignedText(WmiValue{bytes >> 20}));
  }
  out.append(u" MB\r\n");
}

} // namespace tavrel
