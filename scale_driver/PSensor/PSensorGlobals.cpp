#include "PSensorGlobals.h"

namespace pondrex {

// The codec before the driver object: objects of one file are destroyed in
// reverse order, and a driver object still alive when the process ends frees
// the codec in its own destruction.
std::unique_ptr<TPelqoencode> GlobalEncoding;
std::unique_ptr<TPSensor> GlobalSensor;
TCallbackSlots CallbackSlots;
TLinkProcessFlags ProcessFlags;
std::unique_ptr<TDownloadProgramme> GlobalDownloadProgramme;
std::shared_ptr<TFTPBusComm> GlobalFtpBusComm;

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

void CreatePriceBus(IPlatform &platform) {
  GlobalFtpBusComm = std::make_shared<TFTPBusComm>(platform);
  GlobalEncoding = std::make_unique<TPelqoencode>();
}

void FreePriceBus() {
  GlobalFtpBusComm.reset();
}

} // namespace pondrex
