#include "CallbackRegistration.h"

#include "UpperAscii.h"

#include <array>
#include <string>

namespace pondrex::api {

namespace {

template <typename Proc> void Store(Proc &slot, uintptr_t proc) {
  slot = reinterpret_cast<Proc>(proc);
}

void StoreUncalled(TUncalledProc &slot, uintptr_t proc) {
  slot = reinterpret_cast<TUncalledProc>(proc);
}

struct TNamedSlot {
  std::u16string_view Name;
  void (*Set)(TCallbackSlots &slots, uintptr_t proc);
};

// In the order in which the names are compared; the last row only for the
// twin that knows it.
const std::array<TNamedSlot, 10> NamedSlots = {{
    {u"OPBOXCOUNTRYCODEINFO", [](TCallbackSlots &s, uintptr_t p) { Store(s.OpBoxCountryCodeInfoProc, p); }},
    {u"SENSORERR", [](TCallbackSlots &s, uintptr_t p) { Store(s.SensorErrProc, p); }},
    {u"SENSORINFO", [](TCallbackSlots &s, uintptr_t p) { Store(s.SensorInfoProc, p); }},
    {u"LEADINFO", [](TCallbackSlots &s, uintptr_t p) { Store(s.LeadInfoProc, p); }},
    {u"OPBOXINFO", [](TCallbackSlots &s, uintptr_t p) { Store(s.OpBoxInfoProc, p); }},
    {u"IS1INFO", [](TCallbackSlots &s, uintptr_t p) { Store(s.Is1InfoProc, p); }},
    {u"TEMCOMPENSATEINFO", [](TCallbackSlots &s, uintptr_t p) { Store(s.TemCompensateInfoProc, p); }},
    {u"GETUSBDEVICE", [](TCallbackSlots &s, uintptr_t p) { StoreUncalled(s.GetUsbDeviceProc, p); }},
    {u"PROGRESSBAR", [](TCallbackSlots &s, uintptr_t p) { StoreUncalled(s.ProgressBarProc, p); }},
    {u"RKV_IS1INFO", [](TCallbackSlots &s, uintptr_t p) { Store(s.RkvIs1InfoProc, p); }},
}};

void StoreLinkSettings(THecrLink &link, int32_t retryCount, int32_t timeOutMs, uint32_t debugSlot) {
  link.SetRetrycnt(retryCount);
  link.SetTimeOut(timeOutMs);
  link.SetDebug((debugSlot & 0xFF) != 0);
}

void StoreAllButIs1(TCallbackSlots &slots, const TConfigCallbacks &callbacks) {
  Store(slots.SensorErrProc, callbacks.SensorErr);
  Store(slots.SensorInfoProc, callbacks.SensorInfo);
  Store(slots.LeadInfoProc, callbacks.LeadInfo);
  Store(slots.OpBoxInfoProc, callbacks.OpBoxInfo);
  Store(slots.TemCompensateInfoProc, callbacks.TemCompensateInfo);
}

} // namespace

void Config(THecrLink &link, TCallbackSlots &slots, int32_t retryCount, int32_t timeOutMs, uint32_t debugSlot,
            const TConfigCallbacks &callbacks) {
  StoreLinkSettings(link, retryCount, timeOutMs, debugSlot);
  StoreAllButIs1(slots, callbacks);
  Store(slots.Is1InfoProc, callbacks.Is1Info);
}

void ConfigRouted(THecrLink &link, TCallbackSlots &slots, int32_t retryCount, int32_t timeOutMs,
                  uint32_t debugSlot, const TConfigCallbacks &callbacks, uint32_t routingSlot) {
  StoreLinkSettings(link, retryCount, timeOutMs, debugSlot);
  StoreAllButIs1(slots, callbacks);
  if ((routingSlot & 0xFF) != 0)
    Store(slots.RkvIs1InfoProc, callbacks.Is1Info);
  else
    Store(slots.Is1InfoProc, callbacks.Is1Info);
}

bool SetCallBackFunc(TCallbackSlots &slots, std::u16string_view name, uintptr_t proc, bool knowsRkvIs1Info) {
  const std::u16string upper = UpperAscii(name);
  const size_t rows = knowsRkvIs1Info ? NamedSlots.size() : NamedSlots.size() - 1;
  for (size_t row = 0; row < rows; ++row) {
    if (upper == NamedSlots[row].Name) {
      NamedSlots[row].Set(slots, proc);
      return true;
    }
  }
  return false;
}

} // namespace pondrex::api
