// The JSON texts of the serial-port and USB-device listings, printed with
// cJSON's formatted output and allocated by cJSON's allocator.
#pragma once

#include "CJsonOwner.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// A JSON array of the port names: ["COM1", "COM2"], or [] for none.
// Null when cJSON cannot allocate.
TCJsonText PortListJson(const std::vector<std::string> &portNames);

// The text of a registry value's data: its bytes up to the first zero byte,
// or all of them when the data carries no terminator.
std::string RegistryValueText(std::span<const uint8_t> data);

// What the enumeration found out about one device; a field is empty when it
// could not be read (or, for the two properties, was not asked for).
struct TUsbDeviceFacts {
  std::optional<std::string> InstanceId;
  std::optional<std::string> FriendlyName;
  std::optional<std::string> HardwareId;
  // The device ID of a device that exposes the USB device interface.
  std::optional<std::string> InterfaceDeviceId;
};

// One object of the USB device list; each key is present only when set.
struct TUsbDeviceEntry {
  std::optional<std::string> DeviceId;
  std::optional<std::string> FriendlyName;
  std::optional<std::string> HardwareId;
  std::optional<std::string> Vpid;
};

// True when the instance ID names a USB printer-class device: its first eight
// characters are "USBPRINT" (case-sensitive).
bool IsPrinterClassInstanceId(std::string_view instanceId);

// The device's object in the list: a printer-class device gets deviceId and
// the properties that could be read, a device with the USB device interface
// gets vpid; a device that is neither is not listed.
std::optional<TUsbDeviceEntry> UsbDeviceEntry(const TUsbDeviceFacts &facts);

// A JSON array of one object per entry, keys in the order deviceId,
// friendlyName, hardwareId, vpid. Null when cJSON cannot allocate.
TCJsonText UsbDeviceListJson(const std::vector<TUsbDeviceEntry> &entries);

} // namespace kestrune
