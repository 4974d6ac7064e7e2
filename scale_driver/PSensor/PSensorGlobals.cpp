#include "PSensorGlobals.h"

namespace pondrex {

std::unique_ptr<TPSensor> GlobalSensor;
std::unique_ptr<TPelqoencode> GlobalEncoding;
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
