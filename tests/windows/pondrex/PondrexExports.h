// Pondrex.dll as an integrator's program uses it: exports bound by their
// undecorated names and called as stdcall through the probe, which checks
// that each call removed exactly its argument slots and kept EBX, ESI and
// EDI.
#pragma once

#include "LoadedModule.h"
#include "Pondrex.h"
#include "StdcallProbe.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

// Calls the export that Pondrex.h declares as name with typed arguments, as
// a host compiled against the header does, through the probe:
//   PONDREX_INVOKE(pondrex, OpenDevice, "COM7", 9600)
#define PONDREX_INVOKE(exports, name, ...)                                                                   \
  (exports).invoke(static_cast<decltype(&name)>(nullptr), #name __VA_OPT__(, ) __VA_ARGS__)

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

  // The same with the arguments of the prototype that the first argument's
  // type gives: each converted to its parameter's type, then to its slot.
  template <typename Result, typename... Params, typename... Args>
  uint32_t invoke(Result(PONDREX_CALL *)(Params...), const char *name, Args &&...args) {
    static_assert(sizeof...(Params) == sizeof...(Args), "the prototype takes another number of arguments");
    static_assert(((sizeof(Params) <= sizeof(uint32_t)) && ...), "an argument wider than one slot");
    return call(name, {slotOfArgument<Params>(std::forward<Args>(args))...});
  }

  // Missing exports and unbalanced calls so far.
  const std::vector<std::string> &faults() const { return faults_; }

private:
  template <typename Param, typename Arg> static uint32_t slotOfArgument(Arg &&arg) {
    const Param value = arg;
    if constexpr (std::is_pointer_v<Param>) {
      return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
    } else {
      return static_cast<uint32_t>(value);
    }
  }

  const LoadedModule &dll_;
  std::vector<std::string> faults_;
};

} // namespace pos::test
