#pragma once
// How the WMI queries judge COM results, and the lines they write to the
// standard error stream when a step fails.
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrel {

// RPC_E_TOO_LATE: the process's COM security has already been set.
inline constexpr std::int32_t ComSecurityAlreadySet = static_cast<std::int32_t>(0x80010119u);

// Whether a query may go on after setting the process's COM security. The
// platform sets it once per process and refuses every later call with
// RPC_E_TOO_LATE; the security then in force is what the query needs, so
// that refusal lets the query go on like success.
bool ComSecurityAllowsQuery(std::int32_t hresult);

// The messages of the failing steps, in the order of the steps.
inline constexpr char ComInitFailed[] = "Failed to initialize COM library. Error code = ";
inline constexpr char SecurityInitFailed[] = "Failed to initialize security. Error code = ";
inline constexpr char LocatorFailed[] = "Failed to create IWbemLocator object. Error code = ";
inline constexpr char ConnectFailed[] = "Could not connect to WMI service. Error code = ";
inline constexpr char ProxyBlanketFailed[] = "Could not set proxy blanket. Error code = ";
// One text for the query step of every query.
inline constexpr char QueryFailed[] = "Query for video controllers failed. Error code = ";

// The message, the result code in signed decimal and a line feed.
std::string WmiFailureLine(std::string_view message, std::int32_t hresult);

} // namespace tavrel
