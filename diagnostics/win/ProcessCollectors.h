// The process listing from a Toolhelp snapshot.
#pragma once

#include <string>

namespace tavrel {

// A line per running process whose executable name is `exeName` (whole
// name, letter case ignored), in snapshot order; empty when none, or when
// no snapshot can be taken.
std::u16string ListProcessesByName(const std::u16string &exeName);

// A line per running process.
std::u16string ListAllProcesses();

} // namespace tavrel
