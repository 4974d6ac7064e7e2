#include "ProcessListing.h"

#include "DiagnosticSink.h"
#include "MissingLibraries.h"

namespace tavrel {

bool ProcessNameMatches(std::u16string_view exeFile, std::u16string_view wanted) {
  return ToLowerCopy(std::u16string(exeFile)) == ToLowerCopy(std::u16string(wanted));
}

std::u16string ProcessLine(const ProcessEntry &entry) {
  return u"Process Name: " + entry.exeFile + u", PID: " + DecimalText(entry.processId) + u"\r\n";
}

std::u16string ProcessLinesByName(const std::vector<ProcessEntry> &snapshot, std::u16string_view wanted) {
  std::u16string lines;
  for (const ProcessEntry &entry : snapshot) {
    if (ProcessNameMatches(entry.exeFile, wanted)) {
      lines += ProcessLine(entry);
    }
  }
  return lines;
}

std::u16string ProcessLinesForAll(const std::vector<ProcessEntry> &snapshot) {
  std::u16string lines;
  for (const ProcessEntry &entry : snapshot) {
    lines += ProcessLine(entry);
  }
  return lines;
}

} // namespace tavrel
