// What the Java entry points need from the binary that they are linked into:
// the driver object, the platform of the calling thread, and the step that
// ends every call. Pondrex.dll gives the library's own (win/JavaHost.cpp);
// a test binary gives a driver on the fake platform.
#pragma once

#include "IPlatform.h"
#include "TPSensor.h"

namespace pondrex::api {

// The driver object, made on the first call on the calling thread; throws
// when it cannot be made.
TPSensor &JavaHostDriver();
// The platform whose message queue DoEvents pumps.
IPlatform &JavaHostPlatform();
// Runs after every native method: the library's hold on itself follows
// whether the serial port is open.
void JavaHostCallEnded() noexcept;

} // namespace pondrex::api
