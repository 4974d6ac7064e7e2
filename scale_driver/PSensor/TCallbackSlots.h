// The host's callbacks: plain stdcall functions that the host registers by
// position (Config) or by name (SetCallBackFunc), one process-wide slot per
// event. They return nothing and remove their own arguments.
//
// Every argument takes 32-bit slots: integers are 32 bits, a byte value
// travels zero-extended in a slot of its own (declared here as uint32_t so
// that the upper bits are zero whatever the compiler would leave there), and
// doubles take two slots. A text is a pointer to a zero-terminated
// single-byte text in the system code page, valid only during the call.
//
// The sizes below are what a host compiled against its own prototypes pops
// with its "ret N"; a slot count that differs from them would unbalance the
// stack of every call, so they are checked at compile time.
#pragma once

#include "TJavaCallbacks.h"

#include <cstddef>
#include <cstdint>

// The 32-bit Windows API calling convention. Only 32-bit x86 has more than
// one convention; elsewhere a function is called the one way there is.
#if defined(__i386__)
#define PONDREX_STDCALL __attribute__((stdcall))
#else
#define PONDREX_STDCALL
#endif

namespace pondrex {

// A callback signature: the pointer type and the bytes of argument slots
// that a function of it removes.
template <typename... Args> struct TStdcallSignature {
  using Proc = void(PONDREX_STDCALL *)(Args...);
  static constexpr size_t ArgBytes = (((sizeof(Args) + 3) / 4 * 4) + ... + 0);
};

// Text arguments of the callbacks.
using TCallbackText = const char *;

// "SENSORERR": the error code.
using TSensorErrSignature = TStdcallSignature<int32_t>;
// "SENSORINFO": net, tare, gross; mode, decimal digits, unit, old A/D,
// filter A/D, zero A/D, weight A/D; flag (a byte).
using TSensorInfoSignature = TStdcallSignature<double, double, double, int32_t, int32_t, int32_t, int32_t,
                                               int32_t, int32_t, int32_t, uint32_t>;
// "OPBOXINFO": softflag, hardware, mainunit, scaletype, precision, gravity.
using TOpBoxInfoSignature = TStdcallSignature<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t>;
// "LEADINFO": version; year, month, day.
using TLeadInfoSignature = TStdcallSignature<TCallbackText, int32_t, int32_t, int32_t>;
// "IS1INFO": status, sign, weight, unit; flag.
using TIs1InfoSignature =
    TStdcallSignature<TCallbackText, TCallbackText, TCallbackText, TCallbackText, int32_t>;
// "RKV_IS1INFO": status, sign, weight, unit, price, total, key value, weight
// sum, tare weight, original A/D, weight A/D, tare A/D; number, flag.
using TRkvIs1InfoSignature =
    TStdcallSignature<TCallbackText, TCallbackText, TCallbackText, TCallbackText, TCallbackText,
                      TCallbackText, TCallbackText, TCallbackText, TCallbackText, TCallbackText,
                      TCallbackText, TCallbackText, int32_t, int32_t>;
// "TEMCOMPENSATEINFO": the reply frame's byte 8, TmFunFlag, LearnNum; then
// Value1, Value2 (integers) and Value3 (double) of each of the 15 points.
#define PONDREX_POINT int32_t, int32_t, double
using TTemCompensateInfoSignature =
    TStdcallSignature<int32_t, int32_t, int32_t, PONDREX_POINT, PONDREX_POINT, PONDREX_POINT, PONDREX_POINT,
                      PONDREX_POINT, PONDREX_POINT, PONDREX_POINT, PONDREX_POINT, PONDREX_POINT,
                      PONDREX_POINT, PONDREX_POINT, PONDREX_POINT, PONDREX_POINT, PONDREX_POINT,
                      PONDREX_POINT>;
#undef PONDREX_POINT
// "OPBOXCOUNTRYCODEINFO": the country code.
using TOpBoxCountryCodeInfoSignature = TStdcallSignature<int32_t>;

using TSensorErrProc = TSensorErrSignature::Proc;
using TSensorInfoProc = TSensorInfoSignature::Proc;
using TOpBoxInfoProc = TOpBoxInfoSignature::Proc;
using TLeadInfoProc = TLeadInfoSignature::Proc;
using TIs1InfoProc = TIs1InfoSignature::Proc;
using TRkvIs1InfoProc = TRkvIs1InfoSignature::Proc;
using TTemCompensateInfoProc = TTemCompensateInfoSignature::Proc;
using TOpBoxCountryCodeInfoProc = TOpBoxCountryCodeInfoSignature::Proc;
// The progress of a firmware download: current block, total, status (0
// failed, 1 complete, 2 in progress, 3 waiting), message.
using TDownloadProgressSignature = TStdcallSignature<int32_t, int32_t, int32_t, TCallbackText>;
using TDownloadProgressProc = TDownloadProgressSignature::Proc;
// "PROGRESSBAR" and "GETUSBDEVICE" are stored and never called, so they
// have no fixed signature.
using TUncalledProc = const void *;

constexpr size_t TextSlotBytes = (sizeof(TCallbackText) + 3) / 4 * 4;
static_assert(TSensorErrSignature::ArgBytes == 4);
static_assert(TSensorInfoSignature::ArgBytes == 3 * 8 + 8 * 4);
static_assert(TOpBoxInfoSignature::ArgBytes == 6 * 4);
static_assert(TLeadInfoSignature::ArgBytes == TextSlotBytes + 3 * 4);
static_assert(TIs1InfoSignature::ArgBytes == 4 * TextSlotBytes + 4);
static_assert(TRkvIs1InfoSignature::ArgBytes == 12 * TextSlotBytes + 2 * 4);
static_assert(TTemCompensateInfoSignature::ArgBytes == 63 * 4);
static_assert(TOpBoxCountryCodeInfoSignature::ArgBytes == 4);
static_assert(TDownloadProgressSignature::ArgBytes == 3 * 4 + TextSlotBytes);

// The process-wide slots, all empty when the library is loaded. They outlive
// any driver object. The Java callbacks sit beside them (Java stays the
// owner of what it registered).
struct TCallbackSlots {
  TSensorErrProc SensorErrProc = nullptr;
  TSensorInfoProc SensorInfoProc = nullptr;
  TOpBoxInfoProc OpBoxInfoProc = nullptr;
  TLeadInfoProc LeadInfoProc = nullptr;
  TIs1InfoProc Is1InfoProc = nullptr;
  TRkvIs1InfoProc RkvIs1InfoProc = nullptr;
  TTemCompensateInfoProc TemCompensateInfoProc = nullptr;
  TOpBoxCountryCodeInfoProc OpBoxCountryCodeInfoProc = nullptr;
  TUncalledProc ProgressBarProc = nullptr;
  TUncalledProc GetUsbDeviceProc = nullptr;
  // Set by each firmware download for its reports.
  TDownloadProgressProc DownloadProgressProc = nullptr;
  // The methods of the Java callback object; null until a Java host binds
  // them.
  TJavaCallbacks *Java = nullptr;
};

} // namespace pondrex
