#include "PriceTransfer.h"

#include "DriverText.h"
#include "PSensorGlobals.h"
#include "TPriceTransfer.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace pondrex::api {

namespace {

std::optional<std::filesystem::path> FilePath(const char *fileName) {
  const std::u16string name = DriverText(fileName);
  if (name.empty())
    return std::nullopt;
  return std::filesystem::path(name);
}

// run(transfer) on the current bus, which the call holds on to; false
// without a bus.
template <typename Run> bool OnCurrentBus(TPSensor &sensor, Run run) {
  const std::shared_ptr<TFTPBusComm> bus = GlobalFtpBusComm;
  if (!bus)
    return false;
  TPriceTransfer transfer(sensor.HecrLink1(), *bus, sensor.Platform());
  return run(transfer);
}

} // namespace

void SetRecvHandle(THostWindow window) {
  if (GlobalFtpBusComm)
    GlobalFtpBusComm->hRecv = window;
}

int16_t SendPrice(TPSensor &sensor, double price) {
  const bool sent = OnCurrentBus(sensor, [price](TPriceTransfer &t) { return t.SendPrice(price); });
  return sent ? -1 : 0;
}

uint8_t DownLoadPlu(TPSensor &sensor, const char *fileName) {
  const std::optional<std::filesystem::path> path = FilePath(fileName);
  if (!path)
    return 0;
  return OnCurrentBus(sensor, [&path](TPriceTransfer &t) { return t.DownLoadPlu(*path); }) ? 1 : 0;
}

uint8_t UpLoadPlu(TPSensor &sensor, const char *fileName) {
  const std::optional<std::filesystem::path> path = FilePath(fileName);
  if (!path)
    return 0;
  return OnCurrentBus(sensor, [&path](TPriceTransfer &t) { return t.UpLoadPlu(*path); }) ? 1 : 0;
}

} // namespace pondrex::api
