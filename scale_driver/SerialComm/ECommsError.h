// The one exception class of the serial component: a fixed message text and
// the system's error code at the failure (GetLastError on Windows), 0 when
// no system call failed (a port already open, a file that is no serial
// device).
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace pondrex {

class ECommsError : public std::runtime_error {
public:
  explicit ECommsError(const std::string &message, uint32_t systemError = 0)
      : std::runtime_error(message), systemError_(systemError) {}

  uint32_t SystemError() const noexcept { return systemError_; }

private:
  uint32_t systemError_;
};

// The text of an error for a log: its message, and for an ECommsError with
// a system error code also that code, as in
// "Error opening serial port (system error 2)".
std::string DescribeError(const std::exception &error);

} // namespace pondrex
