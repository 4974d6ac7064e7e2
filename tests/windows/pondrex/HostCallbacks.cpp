#include "HostCallbacks.h"

#include <cstdarg>
#include <cstdio>

namespace pos::test {

namespace {

std::string format(const char *pattern, ...) {
  char text[1024];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(text, sizeof text, pattern, args);
  va_end(args);
  return text;
}

// Called first thing in each callback; noinline, so that the stack pointer
// it reads is at the same depth below the callback's frame every time.
__attribute__((noinline)) uint32_t callerEsp() {
  uint32_t esp;
  asm volatile("movl %%esp, %0" : "=r"(esp));
  return esp;
}

void record(const char *name, uint32_t esp, std::string text) {
  hostCallbackCalls().push_back({name, std::string(name) + " " + text, esp});
}

extern "C" void __stdcall onSensorErr(int32_t code) {
  const uint32_t esp = callerEsp();
  record("SENSORERR", esp, format("code=%d", code));
}

extern "C" void __stdcall onSensorInfo(double net, double tare, double gross, int32_t mode, int32_t decimals,
                                       int32_t unit, int32_t oldAd, int32_t filterAd, int32_t zeroAd,
                                       int32_t weightAd, uint32_t flag) {
  const uint32_t esp = callerEsp();
  record(
      "SENSORINFO", esp,
      format("net=%g tare=%g gross=%g mode=%d decimals=%d unit=%d oldAd=%d filterAd=%d zeroAd=%d weightAd=%d "
             "flag=%u",
             net, tare, gross, mode, decimals, unit, oldAd, filterAd, zeroAd, weightAd, flag));
}

extern "C" void __stdcall onOpBoxInfo(int32_t soft, int32_t hard, int32_t mainUnit, int32_t type,
                                      int32_t precision, int32_t gravity) {
  const uint32_t esp = callerEsp();
  record("OPBOXINFO", esp,
         format("softflag=%d hardware=%d mainunit=%d scaletype=%d precision=%d gravity=%d", soft, hard,
                mainUnit, type, precision, gravity));
}

extern "C" void __stdcall onLeadInfo(const char *version, int32_t year, int32_t month, int32_t day) {
  const uint32_t esp = callerEsp();
  record("LEADINFO", esp, format("version=%s year=%d month=%d day=%d", version, year, month, day));
}

extern "C" void __stdcall onIs1Info(const char *status, const char *sign, const char *weight,
                                    const char *unit, int32_t flag) {
  const uint32_t esp = callerEsp();
  record("IS1INFO", esp,
         format("status=[%s] sign=[%s] weight=[%s] unit=[%s] flag=%d", status, sign, weight, unit, flag));
}

extern "C" void __stdcall onRkvIs1Info(const char *status, const char *sign, const char *weight,
                                       const char *unit, const char *price, const char *total,
                                       const char *key, const char *weightSum, const char *tareSum,
                                       const char *originalAd, const char *weightAd, const char *tareAd,
                                       int32_t number, int32_t flag) {
  const uint32_t esp = callerEsp();
  record("RKV_IS1INFO", esp,
         format("status=[%s] sign=[%s] weight=[%s] unit=[%s] price=[%s] total=[%s] key=[%s] weightsum=[%s] "
                "tare=[%s] originalAd=[%s] weightAd=[%s] tareAd=[%s] number=%d flag=%d",
                status, sign, weight, unit, price, total, key, weightSum, tareSum, originalAd, weightAd,
                tareAd, number, flag));
}

#define POINT(i) int32_t a##i, int32_t b##i, double c##i
#define SHOW(i) text += format(" %d/%d/%g", a##i, b##i, c##i)
extern "C" void __stdcall onTemCompensateInfo(int32_t para, int32_t flag, int32_t learned, POINT(0), POINT(1),
                                              POINT(2), POINT(3), POINT(4), POINT(5), POINT(6), POINT(7),
                                              POINT(8), POINT(9), POINT(10), POINT(11), POINT(12), POINT(13),
                                              POINT(14)) {
  const uint32_t esp = callerEsp();
  std::string text = format("para=%d flag=%d learned=%d points", para, flag, learned);
  SHOW(0), SHOW(1), SHOW(2), SHOW(3), SHOW(4), SHOW(5), SHOW(6), SHOW(7), SHOW(8), SHOW(9), SHOW(10),
      SHOW(11), SHOW(12), SHOW(13), SHOW(14);
  record("TEMCOMPENSATEINFO", esp, text);
}
#undef POINT
#undef SHOW

extern "C" void __stdcall onOpBoxCountryCodeInfo(int32_t code) {
  const uint32_t esp = callerEsp();
  record("OPBOXCOUNTRYCODEINFO", esp, format("code=%d", code));
}

template <typename Proc> uint32_t slot(Proc function) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(function));
}

} // namespace

std::vector<HostCallbackCall> &hostCallbackCalls() {
  static std::vector<HostCallbackCall> calls;
  return calls;
}

std::vector<std::string> hostCallbackTexts(const char *name) {
  std::vector<std::string> texts;
  for (const HostCallbackCall &call : hostCallbackCalls()) {
    if (name == nullptr || call.name == name) {
      texts.push_back(call.text);
    }
  }
  return texts;
}

// Each callback has the type that Pondrex.h gives its name: a callback of
// another signature does not convert.
HostCallbackProcs hostCallbackProcs() {
  return {&onSensorErr, &onSensorInfo, &onOpBoxInfo, &onLeadInfo, &onIs1Info, &onTemCompensateInfo};
}

HostCallbackSlots hostCallbackSlots() {
  const HostCallbackProcs procs = hostCallbackProcs();
  return {slot(procs.sensorErr), slot(procs.sensorInfo), slot(procs.opBoxInfo),
          slot(procs.leadInfo),  slot(procs.is1Info),    slot(procs.temCompensateInfo)};
}

uint32_t rkvIs1InfoSlot() {
  return slot<TPondrexRkvIs1InfoProc>(&onRkvIs1Info);
}
uint32_t opBoxCountryCodeInfoSlot() {
  return slot<TPondrexOpBoxCountryCodeInfoProc>(&onOpBoxCountryCodeInfo);
}

} // namespace pos::test
