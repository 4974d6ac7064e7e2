#include "OpenScale.h"

#include "DriverText.h"
#include "LinkControl.h"
#include "PumpWait.h"
#include "TPelqoEchoDetector.h"
#include "TickCount.h"

#include <string>
#include <string_view>
#include <vector>

namespace pondrex::api {

namespace {

constexpr std::string_view WeightRequest("\x11", 1);
constexpr std::string_view DoubleWeightRequest("\x05\x11", 2);
// A request is repeated when more than this passed since the last one.
constexpr uint32_t RequestSpacingMs = 150;
// The request loops end once the repeat counter exceeds these.
constexpr int32_t OpenDeviceRepeatLimit = 6;
constexpr int32_t DoubleRequestRepeatLimit = 3;
// A USB printer-class port is given this long before it is opened.
constexpr uint32_t UsbPrinterSettleMs = 8000;
constexpr uint32_t DoubleRequestSettleMs = 100;
// Passes of 1 ms that a handshake part waits for its echo.
constexpr int32_t EchoPasses = 500;
constexpr uint32_t EchoPassMs = 1;

std::string_view PatternText(std::span<const uint8_t> part) {
  return std::string_view(reinterpret_cast<const char *>(part.data()), part.size());
}

bool AnyFrameSeen(const TLinkProcessFlags &flags) {
  return flags.FramedReplySeen != 0 || flags.Is1FrameSeen != 0;
}

// Preparation and the open itself, both exports; the result of the open.
int32_t PrepareAndOpen(TPSensor &sensor, const char *port, int32_t rate, bool doubleRequest) {
  THecrLink &link = sensor.HecrLink1();
  TLinkProcessFlags &flags = sensor.Flags();
  IPlatform &platform = sensor.Platform();

  flags.FramedReplySeen = 0;
  flags.Is1FrameSeen = 0;
  if (doubleRequest)
    link.SetOffset(0);
  link.SetClearPelqoFlag(false);
  link.SetEncryptPelqoFlag(false);
  flags.UsbPrnPortOpened = 0;

  const std::u16string name = DriverText(port);
  link.SetCommname(name);
  link.SetBaudRate(rate);

  // The link reports no USB device, so no USB scale is ever recognised here.
  std::vector<std::u16string> devices;
  if (doubleRequest && link.Mode() == TCommunicationMode::cmUSBPRN) {
    link.EnumUsbDevs(devices);
    SetCommMode(link, static_cast<uint32_t>(TCommunicationMode::cmCOM));
  } else if (!doubleRequest && link.Mode() == TCommunicationMode::cmCOM) {
    link.EnumUsbDevs(devices);
  }
  if (link.Mode() == TCommunicationMode::cmUSBPRN)
    platform.Sleep(UsbPrinterSettleMs);

  link.SetCommname(name);
  link.SetBaudRate(rate);
  link.Open();
  if (doubleRequest)
    platform.Sleep(DoubleRequestSettleMs);
  return link.Active() ? -1 : 0;
}

// One request loop: pumps, and writes request again whenever more than
// 150 ms passed, until a weight text came, the link closed, the counter
// passed limit or (with stopOnFrame) a frame of either kind was taken. Each
// pass waits for a message, at most until the next request is due.
void RequestLoop(TPSensor &sensor, std::string_view request, int32_t limit, bool stopOnFrame) {
  THecrLink &link = sensor.HecrLink1();
  IPlatform &platform = sensor.Platform();
  int32_t counter = 0;
  uint32_t last = platform.MonotonicMs();
  for (bool first = true; sensor.Is1Value().empty(); first = false) {
    PumpPass(platform, first, MsUntilMoreThan(last, platform.MonotonicMs(), RequestSpacingMs));
    if (stopOnFrame && AnyFrameSeen(sensor.Flags()))
      break;
    if (!link.Active())
      break;
    const uint32_t now = platform.MonotonicMs();
    if (ElapsedMoreThan(last, now, RequestSpacingMs)) {
      last = now;
      link.write(request, static_cast<int32_t>(request.size()));
      ++counter;
    }
    if (counter > limit)
      break;
  }
}

// Up to 500 passes of 1 ms, pumping, and one more 1 ms pause, until seen()
// holds; its last value. A pass ends early when the echo comes.
template <typename Seen> bool WaitForEcho(IPlatform &platform, Seen seen) {
  int32_t passes = 0;
  while (!seen()) {
    if (++passes > EchoPasses) {
      platform.Sleep(EchoPassMs);
      break;
    }
    PumpStep(platform, EchoPassMs, seen);
  }
  return seen();
}

} // namespace

int32_t OpenDevice(TPSensor &sensor, const char *port, int32_t rate) {
  int32_t result = PrepareAndOpen(sensor, port, rate, false);
  THecrLink &link = sensor.HecrLink1();
  if (!AnyFrameSeen(sensor.Flags())) {
    sensor.SetIs1Value(std::u16string());
    link.write(WeightRequest, static_cast<int32_t>(WeightRequest.size()));
    RequestLoop(sensor, WeightRequest, OpenDeviceRepeatLimit, false);
    if (sensor.Is1Value().empty() && !AnyFrameSeen(sensor.Flags()))
      return 0;
  }

  // The handshake: each part is written with its echo detector armed, so the
  // receive path can tell this wait when the scale has sent the part back.
  // A scale that does not echo "PELQO" does not take part in it, and the
  // result of the open stands; one that echoes the first part but not the
  // second has failed it.
  IPlatform &platform = sensor.Platform();
  link.ArmClearPelqo();
  link.write(PatternText(PelqoClearPart), static_cast<int32_t>(PelqoClearPart.size()));
  if (!WaitForEcho(platform, [&link] { return link.ClearPelqoSeen(); }))
    return result;
  link.ArmEncryptPelqo();
  link.write(PatternText(PelqoEncryptPart), static_cast<int32_t>(PelqoEncryptPart.size()));
  if (!WaitForEcho(platform, [&link] { return link.EncryptPelqoSeen(); }))
    result = 0;
  return result;
}

int32_t OpenWithDoubleRequest(TPSensor &sensor, const char *port, int32_t rate) {
  int32_t result = PrepareAndOpen(sensor, port, rate, true);
  if (AnyFrameSeen(sensor.Flags()))
    return result;
  THecrLink &link = sensor.HecrLink1();
  sensor.SetIs1Value(std::u16string());
  link.write(DoubleWeightRequest, static_cast<int32_t>(DoubleWeightRequest.size()));
  RequestLoop(sensor, WeightRequest, DoubleRequestRepeatLimit, true);
  RequestLoop(sensor, DoubleWeightRequest, DoubleRequestRepeatLimit, true);
  if (sensor.Flags().FramedReplySeen == 0 && sensor.Is1Value().empty())
    result = 0;
  return result;
}

} // namespace pondrex::api
