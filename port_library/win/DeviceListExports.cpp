// The serial ports named in the registry and the USB devices of the SetupAPI
// device enumeration, as JSON texts for the host (released with cJSON_free).
#include "DeviceListJson.h"
#include "KestruneExports.h"

#include <windows.h>

#include <initguid.h>

#include <cfgmgr32.h>
#include <setupapi.h>
#include <usbiodef.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

using kestrune::TUsbDeviceEntry;
using kestrune::TUsbDeviceFacts;

struct TRegistryKey {
  HKEY Key = nullptr;
  ~TRegistryKey() {
    if (Key != nullptr) {
      RegCloseKey(Key);
    }
  }
};

struct TDeviceSet {
  HDEVINFO Set;
  ~TDeviceSet() { SetupDiDestroyDeviceInfoList(Set); }
};

// The longest value name there can be, in characters without the terminator.
constexpr DWORD MaxValueName = 16383;
// How often one value is read again when it grew between two reads.
constexpr int MoreDataRetries = 8;

// The data of every value of the key, in enumeration order, each as the text
// of its whole data.
std::vector<std::string> ValueTexts(HKEY key) {
  DWORD longestName = 0;
  DWORD longestData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                       &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
    longestName = 31;
    longestData = 64;
  }
  std::vector<char> name(std::min(longestName, MaxValueName) + 1);
  std::vector<uint8_t> data(longestData + 1);
  std::vector<std::string> texts;
  int retries = 0;
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    const LSTATUS result =
        RegEnumValueA(key, index, name.data(), &nameLength, nullptr, nullptr, data.data(), &dataSize);
    if (result == ERROR_MORE_DATA) {
      // The value changed since the sizes were asked for: read it again with
      // room for all of it. The data size needed has come back; the name's
      // has not.
      if (++retries > MoreDataRetries) {
        // It never fitted: its data could not be had, but the value is
        // still listed, with an empty text, rather than dropped.
        texts.emplace_back();
        retries = 0;
        ++index;
        continue;
      }
      name.resize(std::min<size_t>(name.size() * 2, MaxValueName + 1));
      data.resize(std::max<size_t>(data.size() * 2, size_t{dataSize} + 1));
      continue;
    }
    if (result != ERROR_SUCCESS) {
      break; // normally ERROR_NO_MORE_ITEMS
    }
    texts.push_back(kestrune::RegistryValueText({data.data(), std::min<size_t>(dataSize, data.size())}));
    retries = 0;
    ++index;
  }
  return texts;
}

// A device's registry property as text (for a list of texts, the first), or
// nothing when it cannot be read.
std::optional<std::string> DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property) {
  std::vector<uint8_t> buffer(256);
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD required = 0;
    if (SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr, buffer.data(),
                                          static_cast<DWORD>(buffer.size()), &required)) {
      const size_t size = required == 0 ? buffer.size() : std::min<size_t>(required, buffer.size());
      return kestrune::RegistryValueText({buffer.data(), size});
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size()) {
      break;
    }
    buffer.resize(required);
  }
  return std::nullopt;
}

// The device ID of a device that exposes the USB device interface, when its
// interface detail and its ID can be read.
std::optional<std::string> UsbInterfaceDeviceId(HDEVINFO set, SP_DEVINFO_DATA &device) {
  SP_DEVICE_INTERFACE_DATA usbInterface{};
  usbInterface.cbSize = sizeof usbInterface;
  if (!SetupDiEnumDeviceInterfaces(set, &device, &GUID_DEVINTERFACE_USB_DEVICE, 0, &usbInterface)) {
    return std::nullopt;
  }
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailA(set, &usbInterface, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    return std::nullopt;
  }
  // Held in 64-bit words, so the detail structure is aligned.
  std::vector<uint64_t> storage((required + sizeof(uint64_t) - 1) / sizeof(uint64_t));
  auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A *>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!SetupDiGetDeviceInterfaceDetailA(set, &usbInterface, detail, required, nullptr, nullptr)) {
    return std::nullopt;
  }
  char deviceId[260] = {};
  if (CM_Get_Device_IDA(device.DevInst, deviceId, sizeof deviceId - 1, 0) != CR_SUCCESS) {
    return std::nullopt;
  }
  std::printf("Device ID: %s\n", deviceId);
  return std::string(deviceId);
}

} // namespace

extern "C" char *KestruneFindAvailablePort() {
  TRegistryKey serialComm;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &serialComm.Key) !=
      ERROR_SUCCESS) {
    std::printf("RegOpenKeyEx fail!");
    return nullptr;
  }
  return kestrune::PortListJson(ValueTexts(serialComm.Key)).release();
}

extern "C" char *KestruneFindAvailableUSB(int32_t mode) {
  const HDEVINFO set =
      mode == 1 ? SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_DEVICE, nullptr, nullptr,
                                       DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)
                : SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) {
    std::printf("SetupDiGetClassDevs failed (%d)\n", static_cast<int>(GetLastError()));
    return nullptr;
  }
  TDeviceSet owner{set};
  std::vector<TUsbDeviceEntry> entries;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    TUsbDeviceFacts facts;
    char instanceId[256] = {};
    if (SetupDiGetDeviceInstanceIdA(set, &device, instanceId, sizeof instanceId - 1, nullptr)) {
      std::printf("Friendly Name: %s\n", instanceId);
      facts.InstanceId = instanceId;
      if (kestrune::IsPrinterClassInstanceId(instanceId)) {
        facts.FriendlyName = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
        facts.HardwareId = DeviceProperty(set, device, SPDRP_HARDWAREID);
      }
    }
    facts.InterfaceDeviceId = UsbInterfaceDeviceId(set, device);
    if (std::optional<TUsbDeviceEntry> entry = kestrune::UsbDeviceEntry(facts)) {
      entries.push_back(*entry);
    }
  }
  return kestrune::UsbDeviceListJson(entries).release();
}
