#pragma once
// What the stand-in for powershell.exe answers, and the command lines it
// recognises. Shared by the stand-in and the tests that read the report.
#include <string_view>

namespace tavrel::test {

inline constexpr wchar_t kSystemInfoCommandLine[] = L"powershell.exe -Command systeminfo";

// The error-event query exactly as the program must pass it: three blanks
// after "Application", none between "TimeCreated," and "Message".
inline constexpr wchar_t kEventQueryCommandLine[] =
    L"powershell.exe -NoProfile -ExecutionPolicy Bypass -Command \"Get-WinEvent -LogName Application   "
    L"| Where-Object {$_.TimeCreated -gt (Get-Date).AddDays(-1) -and $_.Level -eq 2} "
    L"| Select-Object -Property TaskDisplayName, TimeCreated,Message | Format-List \"";
static_assert(std::wstring_view(kEventQueryCommandLine).size() == 253);

// ASCII, so the program's reading in the system code page keeps every byte.
inline constexpr char kSystemInfoOutput[] = "\r\nHost Name:                 TAVREL-STAND-IN\r\n"
                                            "OS Name:                   Stand-in Windows\r\n"
                                            "System Type:               x64-based PC\r\n";
inline constexpr char kEventQueryOutput[] = "\r\n\r\nTaskDisplayName : Stand-in task\r\n"
                                            "TimeCreated     : 1/2/2025 3:04:05 AM\r\n"
                                            "Message         : Stand-in error event\r\n\r\n\r\n\r\n";
// Written for any other command line, followed by that line.
inline constexpr char kUnexpectedCommandLine[] = "unexpected command line: ";

// The name under which the stand-in plays the point-of-sale application: it
// then only waits until the test ends it.
inline constexpr wchar_t kMenuviaName[] = L"BrisqoMenuvia.exe";

} // namespace tavrel::test
