#pragma once
// The report texts made from WMI result objects: one block per printer, one
// row per print job and one block per video controller. Each function appends
// the text of one result object, its properties given in query order.
#include <string>

#include "WmiValue.h"

namespace tavrel {

struct PrinterProperties {
  WmiValue name;
  WmiValue deviceId;
  WmiValue portName;
  WmiValue isDefault;
  WmiValue printerState;
  WmiValue printerStatus;
  WmiValue extendedPrinterStatus;
};

struct PrintJobProperties {
  WmiValue document;
  WmiValue jobStatus;
  WmiValue driverName;
  WmiValue status;
};

struct VideoControllerProperties {
  WmiValue name;
  WmiValue driverVersion;
  WmiValue description;
  WmiValue adapterRam;
};

// The separator line (ended by a line feed alone) and seven labelled lines.
// A text that is empty or not a text, and a number that is null or not a
// number, leave nothing between the label and the CR LF; "Default" reads
// "Yes" only for a true boolean.
void AppendPrinterBlock(std::u16string &out, const PrinterProperties &printer);

// One row: each field with its own closing, or blanks of a fixed width when
// the field is empty.
void AppendPrintJobRow(std::u16string &out, const PrintJobProperties &job);

// Three labelled text lines and the adapter memory in whole MB.
void AppendVideoControllerBlock(std::u16string &out, const VideoControllerProperties &controller);

// What the video controller listing starts with, before any block.
inline constexpr char16_t VideoControllerPrefix[] = u"GPU";

} // namespace tavrel
