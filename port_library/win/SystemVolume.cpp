// The master volume of the default audio output, through Core Audio.
#include "KestruneExports.h"

#include <windows.h>

#include <initguid.h>

#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include <cstdio>

namespace {

// Owns one COM interface pointer and releases it.
template <class Interface> class ComPointer {
public:
  ComPointer() = default;
  ~ComPointer() {
    if (pointer_ != nullptr) {
      pointer_->Release();
    }
  }
  ComPointer(const ComPointer &) = delete;
  ComPointer &operator=(const ComPointer &) = delete;

  Interface *operator->() const { return pointer_; }
  Interface **out() { return &pointer_; }
  void **outVoid() { return reinterpret_cast<void **>(&pointer_); }

private:
  Interface *pointer_ = nullptr;
};

// Balances a successful CoInitializeEx (S_OK or S_FALSE) when the call ends,
// after every interface obtained in it has been released.
struct ComScope {
  ~ComScope() { CoUninitialize(); }
};

} // namespace

extern "C" float kestruneGetSystemVolume() {
  std::printf("******start Index is %d\n", 0);
  // RPC_E_CHANGED_MODE (a thread in a single-threaded apartment) fails here
  // too; COM stays initialised as the thread had it, so there is nothing to
  // balance.
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    std::printf("******start Index is fail %d\n", 1);
    return -1.0f;
  }
  const ComScope com;
  ComPointer<IMMDeviceEnumerator> enumerator;
  const HRESULT created = CoCreateInstance(CLSID_MMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                                           __uuidof(IMMDeviceEnumerator), enumerator.outVoid());
  if (FAILED(created)) {
    std::printf("-=-=-=-=-=-=-=-=:CoCreateInstance failed: %ld", static_cast<long>(created));
    return 1.0f;
  }
  ComPointer<IMMDevice> device;
  if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device.out()))) {
    return 2.0f;
  }
  ComPointer<IAudioEndpointVolume> volume;
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
