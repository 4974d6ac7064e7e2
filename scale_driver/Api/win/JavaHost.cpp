// The Java entry points in Pondrex.dll: the library's own driver object and
// platform, and its hold on itself after every call (PondrexModule.h).
#include "JavaHost.h"

#include "PondrexModule.h"
#include "TWinPlatform.h"

namespace pondrex::api {

TPSensor &JavaHostDriver() {
  return win::Driver();
}

IPlatform &JavaHostPlatform() {
  return SystemPlatform();
}

void JavaHostCallEnded() noexcept {
  win::SyncModuleHold();
}

} // namespace pondrex::api
