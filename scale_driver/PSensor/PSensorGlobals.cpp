#include "PSensorGlobals.h"

namespace pondrex {

// The codec before the driver object: objects of one file are destroyed in
// reverse order, and a driver object still alive when the process ends frees
// the codec in its own destruction.
std::unique_ptr<TPelqoencode> GlobalEncoding;
std::unique_ptr<TPSensor> GlobalSensor;
TCallbackSlots CallbackSlots;
TLinkProcessFlags ProcessFlags;

TPSensor &InitializePSensor(IPlatform &platform) {
  if (!GlobalSensor)
    GlobalSensor = std::make_unique<TPSensor>(platform, ProcessFlags, CallbackSlots);
  return *GlobalSensor;
}

void FinalizePSensor() {
  // The name is cleared before the object goes, as the object's own
  // destruction must not find itself through it.
  std::unique_ptr<TPSensor> sensor = std::move(GlobalSensor);
  sensor.reset();
}

} // namespace pondrex
