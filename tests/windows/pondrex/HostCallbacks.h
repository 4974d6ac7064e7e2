// Callbacks of a host program, with the signatures the library's callback
// slots have: each records one line of what it received, and the stack
// pointer on entry, so that a test can see that repeated calls from one
// export leave the stack where it was (a callee that removed more or fewer
// bytes than the caller pushed would move it on every call).
#pragma once

#include "Pondrex.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pos::test {

struct HostCallbackCall {
  std::string name; // "SENSORINFO", ...
  std::string text; // the name and the arguments, e.g. "SENSORERR code=5"
  uint32_t esp = 0; // ESP on entry, after the callback's own prologue
};

// Every call so far, oldest first.
std::vector<HostCallbackCall> &hostCallbackCalls();
// The texts of the calls of one callback (all when name is null).
std::vector<std::string> hostCallbackTexts(const char *name = nullptr);

// The callbacks in the order Config takes them: SENSORERR, SENSORINFO,
// OPBOXINFO, LEADINFO, IS1INFO, TEMCOMPENSATEINFO; with the types of
// Pondrex.h, and as 32-bit slots.
struct HostCallbackProcs {
  TPondrexSensorErrProc sensorErr;
  TPondrexSensorInfoProc sensorInfo;
  TPondrexOpBoxInfoProc opBoxInfo;
  TPondrexLeadInfoProc leadInfo;
  TPondrexIs1InfoProc is1Info;
  TPondrexTemCompensateInfoProc temCompensateInfo;
};
HostCallbackProcs hostCallbackProcs();
struct HostCallbackSlots {
  uint32_t sensorErr, sensorInfo, opBoxInfo, leadInfo, is1Info, temCompensateInfo;
};
HostCallbackSlots hostCallbackSlots();
// RKV_IS1INFO and OPBOXCOUNTRYCODEINFO.
uint32_t rkvIs1InfoSlot();
uint32_t opBoxCountryCodeInfoSlot();

} // namespace pos::test
