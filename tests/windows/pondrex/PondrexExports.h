// Pondrex.dll as an integrator's program uses it: exports bound by their
// undecorated names and called as stdcall through the probe, which checks
// that each call removed exactly its argument slots and kept EBX, ESI and
// EDI.
#pragma once

#include "LoadedModule.h"
#include "StdcallProbe.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace pos::test {

class PondrexExports {
public:
  explicit PondrexExports(const LoadedModule &dll) : dll_(dll) {}

  // Calls the export name with the given 32-bit slots and returns EAX. An
  // export that is missing returns 0 and is remembered, as is a call that
  // left the stack or the callee-saved registers wrong.
  uint32_t call(const char *name, std::initializer_list<uint32_t> slots = {}) {
    const void *function = dll_.symbol(name);
    if (function == nullptr) {
      faults_.push_back(std::string(name) + ": no such export");
      return 0;
    }
    const StdcallOutcome outcome = callStdcall(function, slots);
    if (!outcome.balanced()) {
      faults_.push_back(std::string(name) + ": stack moved by " + std::to_string(outcome.stackDelta) +
                        (outcome.calleeSavedKept ? "" : ", callee-saved registers changed"));
    }
    return outcome.eax;
  }
  // The same for an export with a 32-bit result.
  int32_t result(const char *name, std::initializer_list<uint32_t> slots = {}) {
    return static_cast<int32_t>(call(name, slots));
  }

  // Missing exports and unbalanced calls so far.
  const std::vector<std::string> &faults() const { return faults_; }

private:
  const LoadedModule &dll_;
  std::vector<std::string> faults_;
};

} // namespace pos::test
