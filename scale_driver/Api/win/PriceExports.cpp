// The price and PLU exports. SendPrice takes its double in two 32-bit
// slots; the results are a 16-bit -1/0 (SendPrice) and a one-byte 1/0
// (DownLoadPlu, UpLoadPlu).
#include "PSensorGlobals.h"
#include "PondrexModule.h"
#include "PriceTransfer.h"
#include "TWinPlatform.h"

#include <cstdint>

using pondrex::TPSensor;
using pondrex::win::RunAnyThreadExport;
namespace api = pondrex::api;

// All five may be called on any thread: they never make the driver object,
// whose link would then belong to that thread. A transfer without one fails
// at once: no link was ever set up, so there is no port to borrow.
extern "C" {

void __stdcall CreateComm() {
  RunAnyThreadExport([](TPSensor *) { pondrex::CreatePriceBus(pondrex::SystemPlatform()); });
}

void __stdcall SetRecvHandle(void *window) {
  RunAnyThreadExport([window](TPSensor *) { api::SetRecvHandle(reinterpret_cast<uintptr_t>(window)); });
}

// Each transfer claims the weighing link's port at its entry: a call made
// while another transfer or a firmware download runs fails at once, before
// it touches anything.
int16_t __stdcall SendPrice(double price) {
  return api::RunOneTransfer(int16_t{0}, [price] {
    return RunAnyThreadExport(int16_t{0}, [price](TPSensor *sensor) {
      return sensor != nullptr ? api::SendPrice(*sensor, price) : int16_t{0};
    });
  });
}

uint8_t __stdcall DownLoadPlu(const char *fileName) {
  return api::RunOneTransfer(uint8_t{0}, [fileName] {
    return RunAnyThreadExport(uint8_t{0}, [fileName](TPSensor *sensor) {
      return sensor != nullptr ? api::DownLoadPlu(*sensor, fileName) : uint8_t{0};
    });
  });
}

uint8_t __stdcall UpLoadPlu(const char *fileName) {
  return api::RunOneTransfer(uint8_t{0}, [fileName] {
    return RunAnyThreadExport(uint8_t{0}, [fileName](TPSensor *sensor) {
      return sensor != nullptr ? api::UpLoadPlu(*sensor, fileName) : uint8_t{0};
    });
  });
}

} // extern "C"
