// The command lines that the report runs through powershell.exe, and the
// query text of the WMI form of the error-event query.
#pragma once

#include <string>
#include <string_view>

namespace tavrel {

inline constexpr std::u16string_view SystemInfoCommandLine = u"powershell.exe -Command systeminfo";

// The error-event query: the Application log's errors of the last day, with
// their task name, time of creation and message as a list (253 characters).
std::u16string ErrorEventsCommandLine();

// The WMI form of the event query: namespace and query text.
inline constexpr std::u16string_view PowerShellWmiNamespace = u"ROOT\\CIMV2\\Applications\\PowerShell";
std::u16string WmiEventQueryText();

} // namespace tavrel
