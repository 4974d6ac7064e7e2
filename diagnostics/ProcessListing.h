// The lines of the process listing: "Process Name: ", the executable name
// as the snapshot gives it, ", PID: ", the process identifier, CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

struct ProcessEntry {
  std::u16string exeFile; // executable file name, without a path
  uint32_t processId = 0;
};

// The processes' executable name is compared as a whole, ignoring the case
// of the letters A to Z (as the C runtime does in its "C" locale).
bool ProcessNameMatches(std::u16string_view exeFile, std::u16string_view wanted);

std::u16string ProcessLine(const ProcessEntry &entry);

// One line per entry named `wanted`, in snapshot order; empty when none.
std::u16string ProcessLinesByName(const std::vector<ProcessEntry> &snapshot, std::u16string_view wanted);

// One line per entry, in snapshot order.
std::u16string ProcessLinesForAll(const std::vector<ProcessEntry> &snapshot);

} // namespace tavrel
