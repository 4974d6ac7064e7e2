#include "ProcessCollectors.h"

#include "ProcessListing.h"
#include "UniqueHandle.h"
#include "WideText.h"

#include <windows.h>

#include <tlhelp32.h>

namespace tavrel {
namespace {

// The processes of one snapshot; empty when it cannot be taken.
std::vector<ProcessEntry> TakeSnapshot() {
  std::vector<ProcessEntry> entries;
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    return entries;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    entries.push_back({FromWideBuffer(entry.szExeFile, MAX_PATH), entry.th32ProcessID});
  }
  return entries;
}

} // namespace

std::u16string ListProcessesByName(const std::u16string &exeName) {
  return ProcessLinesByName(TakeSnapshot(), exeName);
}

std::u16string ListAllProcesses() {
  return ProcessLinesForAll(TakeSnapshot());
}

} // namespace tavrel
