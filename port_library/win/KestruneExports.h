// The functions behind Kestrune.dll's exports (Kestrune.def maps each export
// name to one of these). Their behaviour is described in ../Kestrune.h.
#pragma once

#include <cstdint>

extern "C" {
int32_t KestruneInit(const char *portName, int32_t baudRate);
int32_t KestruneSendData(const uint8_t *data);
int32_t KestruneReceiveData(uint8_t *out);
int32_t KestruneClose();
char *KestruneFindAvailablePort();
char *KestruneFindAvailableUSB(int32_t mode);
float KestruneGetSystemVolume();
int32_t KestruneIsAppRunning();
const char *KestruneGetLocalIPAddress();
}
