// What the 64-bit host tests of the support libraries share: binding an
// export by name, and reading what a library prints on standard output.
#pragma once

#include "LoadedModule.h"

#include <string>

namespace pos::test {

// The export as a function of type Fn; null when the library lacks it.
template <class Fn> Fn bindExport(const LoadedModule &module, const char *name) {
  return reinterpret_cast<Fn>(module.symbol(name));
}

// The number of handles this process holds, or -1 when it cannot be had.
// (Wine's GetProcessHandleCount gives 0 always, so the system handle table
// is read.)
long processHandleCount();

// Sends standard output (file descriptor 1, shared with the libraries through
// the C runtime DLL) to a temporary file from construction until text().
class StdoutCapture {
public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture &) = delete;
  StdoutCapture &operator=(const StdoutCapture &) = delete;

  // Ends the capture and returns everything written meanwhile, line ends
  // as "\n".
  std::string text();

private:
  void restore();
  int saved_ = -1;
  void *file_ = nullptr; // FILE*
};

} // namespace pos::test
