#include "PSensorGlobals.h"

namespace pondrex {

std::unique_ptr<TPSensor> GlobalSensor;
std::unique_ptr<TPelqoencode> GlobalEncoding;
TCallbackSlots CallbackSlots;
TLinkProcessFlags ProcessFlags;
std::unique_ptr<TDownloadProgramme> GlobalDownloadProgramme;

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

TDownloadProgramme &InitializeDownloadProgramme(IPlatform &platform,
                                                const std::filesystem::path &debugLogFile) {
  if (!GlobalDownloadProgramme)
    GlobalDownloadProgramme =
        std::make_unique<TDownloadProgramme>(platform, ProcessFlags, CallbackSlots, debugLogFile);
  return *GlobalDownloadProgramme;
}

void FinalizeDownloadProgramme() {
  std::unique_ptr<TDownloadProgramme> download = std::move(GlobalDownloadProgramme);
  download.reset();
}

} // namespace pondrex
