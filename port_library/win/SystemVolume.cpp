// The master volume of the default audio output, through Core Audio.
#include "ComOwners.h"
#include "KestruneExports.h"

#include <windows.h>

#include <initguid.h>

#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <cstdio>

extern "C" float KestruneGetSystemVolume() {
  std::printf("******start Index is %d\n", 0);
  // RPC_E_CHANGED_MODE (a thread in a single-threaded apartment) fails here
  // too; COM stays initialised as the thread had it, so there is nothing to
  // balance.
  const pos::ComApartment com;
  if (!com.ok()) {
    std::printf("******start Index is fail %d\n", 1);
    return -1.0f;
  }
  pos::ComPointer<IMMDeviceEnumerator> enumerator;
  const HRESULT created = CoCreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                                           __uuidof(IMMDeviceEnumerator), enumerator.outVoid());
  if (FAILED(created)) {
    std::printf("-=-=-=-=-=-=-=-=:CoCreateInstance failed: %ld", static_cast<long>(created));
    return 1.0f;
  }
  pos::ComPointer<IMMDevice> device;
  if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.out()))) {
    return 2.0f;
  }
  pos::ComPointer<IAudioEndpointVolume> volume;
  if (FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                              volume.outVoid()))) {
    return 3.0f;
  }
  float level = 0.6f;
  const HRESULT read = volume->GetMasterVolumeLevelScalar(&level);
  if (FAILED(read)) {
    std::printf("-=-=-=-=-=-=-=-=:GetMasterVolumeLevelScalar failed: %ld %f", static_cast<long>(read),
                static_cast<double>(level));
    return 4.0f;
  }
  return level;
}
