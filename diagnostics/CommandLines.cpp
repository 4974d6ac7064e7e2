#include "CommandLines.h"

namespace tavrel {

std::u16string ErrorEventsCommandLine() {
  std::u16string line = u"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command ";
  line += u"\"Get-WinEvent -LogName Application   ";
  line += u"| Where-Object {$_.TimeCreated -gt (Get-Date).AddDays(-1) -and $_.Level -eq 2} ";
  line += u"| Select-Object -Property TaskDisplayName, TimeCreated,Message | Format-List \"";
  return line;
}

std::u16string WmiEventQueryText() {
  return u"Get-WinEvent -LogName Application -FilterXPath \"*[System[(Level=2 or Level=3)]]\"";
}

} // namespace tavrel
