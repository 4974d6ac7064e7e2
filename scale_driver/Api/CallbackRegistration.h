// Registration of the host's callbacks: by position with the link's retry
// count, time-out and debug switch (Config), or one by name
// (SetCallBackFunc). A callback arrives as the value of its 32-bit argument
// slot; 0 empties the slot, and the driver then makes no call for that
// event.
#pragma once

#include "TCallbackSlots.h"
#include "THecrLink.h"

#include <cstdint>
#include <string_view>

namespace pondrex::api {

// The six callbacks of Config, in argument order.
struct TConfigCallbacks {
  uintptr_t SensorErr = 0;
  uintptr_t SensorInfo = 0;
  uintptr_t OpBoxInfo = 0;
  uintptr_t LeadInfo = 0;
  uintptr_t Is1Info = 0;
  uintptr_t TemCompensateInfo = 0;
};

// Stores the three numbers in the link (no range test; the debug switch is
// the low byte of its slot) and overwrites the six slots, also with 0; the
// other slots keep their callbacks.
void Config(THecrLink &link, TCallbackSlots &slots, int32_t retryCount, int32_t timeOutMs, uint32_t debugSlot,
            const TConfigCallbacks &callbacks);
// The same, except that a non-zero low byte of routingSlot puts the fifth
// callback into "RKV_IS1INFO" instead of "IS1INFO", and the slot not chosen
// keeps its callback.
void ConfigRouted(THecrLink &link, TCallbackSlots &slots, int32_t retryCount, int32_t timeOutMs,
                  uint32_t debugSlot, const TConfigCallbacks &callbacks, uint32_t routingSlot);

// Stores proc in the slot whose name equals name with its ASCII letters a
// to z upper-cased (nothing else changes: "sensorErr" names "SENSORERR",
// "SENSORERR " names nothing). "RKV_IS1INFO" is known only with
// knowsRkvIs1Info. False, with nothing changed, when no name matched.
bool SetCallBackFunc(TCallbackSlots &slots, std::u16string_view name, uintptr_t proc, bool knowsRkvIs1Info);

} // namespace pondrex::api
