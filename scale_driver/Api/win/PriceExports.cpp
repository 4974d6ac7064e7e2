// The price and PLU exports. SendPrice takes its double in two 32-bit
// slots; the results are a 16-bit -1/0 (SendPrice) and a one-byte 1/0
// (DownLoadPlu, UpLoadPlu).
#include "PSensorGlobals.h"
#include "PondrexModule.h"
#include "PriceTransfer.h"

#include <cstdint>

using pondrex::TPSensor;
using pondrex::win::RunExport;
namespace api = pondrex::api;

extern "C" {

void __stdcall CreateComm() {
  RunExport([](TPSensor &sensor) { pondrex::CreatePriceBus(sensor.Platform()); });
}

void __stdcall SetRecvHandle(void *window) {
  RunExport([window](TPSensor &) { api::SetRecvHandle(reinterpret_cast<uintptr_t>(window)); });
}

// Each transfer claims the weighing link's port at its entry: a call made
// while another transfer or a firmware download runs fails at once, before
// it touches anything.
int16_t __stdcall SendPrice(double price) {
  return api::RunOneTransfer(int16_t{0}, [price] {
    return RunExport(int16_t{0}, [price](TPSensor &sensor) { return api::SendPrice(sensor, price); });
  });
}

uint8_t __stdcall DownLoadPlu(const char *fileName) {
  return api::RunOneTransfer(uint8_t{0}, [fileName] {
    return RunExport(uint8_t{0}, [fileName](TPSensor &sensor) { return api::DownLoadPlu(sensor, fileName); });
  });
}

uint8_t __stdcall UpLoadPlu(const char *fileName) {
  return api::RunOneTransfer(uint8_t{0}, [fileName] {
    return RunExport(uint8_t{0}, [fileName](TPSensor &sensor) { return api::UpLoadPlu(sensor, fileName); });
  });
}

} // extern "C"
