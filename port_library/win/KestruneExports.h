// The functions behind Kestrune.dll's exports (Kestrune.def maps each export
// name to one of these). Their behaviour is described in ../Kestrune.h.
#pragma once

#include <cstdint>

extern "C" {
int32_t kestruneInit(const char *portName, int32_t baudRate);
int32_t kestruneSendData(const uint8_t *data);
int32_t kestruneReceiveData(uint8_t *out);
int32_t kestruneClose();
char *kestruneFindAvailablePort();
char *kestruneFindAvailableUSB(int32_t mode);
float kestruneGetSystemVolume();
int32_t kestruneIsAppRunning();
const char *kestruneGetLocalIPAddress();
}
