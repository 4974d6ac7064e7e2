// The error-event query through WMI's PowerShell namespace.
#pragma once

#include <string>

namespace tavrel {

// The "Message" of every result, each followed by CR LF. Any failure writes
// its line to the wide standard error stream and gives an empty text.
std::u16string QueryEventsViaWmiPowerShell();

} // namespace tavrel
