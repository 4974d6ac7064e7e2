#include "LinkControl.h"

#include "DriverText.h"

#include <vector>

namespace pondrex::api {

int32_t SetCommMode(THecrLink &link, uint32_t modeSlot) {
  link.SetMode(static_cast<TCommunicationMode>(modeSlot & 0xFF));
  return 0;
}

int32_t CloseDevice(THecrLink &link) {
  link.Close();
  return -1;
}

int32_t Connection(THecrLink &link, const char *ecrId) {
  return link.Connection(SetBaudCommandID, DriverText(ecrId)) ? -1 : 0;
}

int32_t Disconnection(THecrLink &link, const char *ecrId) {
  return link.Disconnection(DisconnectCommandID, DriverText(ecrId)) ? -1 : 0;
}

int32_t SetUsbDeviceStr(THecrLink &link, const char *deviceString) {
  link.setDeviceStr(DriverText(deviceString));
  return -1;
}

std::optional<std::u16string> EnumUsbDevices(THecrLink &link) {
  std::vector<std::u16string> devices;
  if (!link.EnumUsbDevs(devices))
    return std::nullopt;
  std::u16string joined;
  for (size_t i = 0; i < devices.size(); ++i) {
    if (i > 0)
      joined += u"\r\n";
    joined += devices[i];
  }
  size_t first = 0;
  while (first < joined.size() && joined[first] <= u' ')
    ++first;
  size_t last = joined.size();
  while (last > first && joined[last - 1] <= u' ')
    --last;
  return joined.substr(first, last - first);
}

void DoEvents(IPlatform &platform) {
  platform.PumpMessages();
}

} // namespace pondrex::api
