#include "DeviceListJson.h"

#include <algorithm>

namespace kestrune {

namespace {

// Adds a string item to an array; false when cJSON cannot allocate.
bool AppendString(cJSON *array, const std::string &text) {
  cJSON *item = cJSON_CreateString(text.c_str());
  if (item == nullptr) {
    return false;
  }
  if (!cJSON_AddItemToArray(array, item)) {
    cJSON_Delete(item);
    return false;
  }
  return true;
}

bool AddOptionalString(cJSON *object, const char *key, const std::optional<std::string> &value) {
  return !value || cJSON_AddStringToObject(object, key, value->c_str()) != nullptr;
}

} // namespace

TCJsonText PortListJson(const std::vector<std::string> &portNames) {
  TCJsonItem array(cJSON_CreateArray());
  if (!array) {
    return nullptr;
  }
  for (const std::string &name : portNames) {
    if (!AppendString(array.get(), name)) {
      return nullptr;
    }
  }
  return TCJsonText(cJSON_Print(array.get()));
}

std::string RegistryValueText(std::span<const uint8_t> data) {
  const auto end = std::find(data.begin(), data.end(), uint8_t{0});
  return std::string(data.begin(), end);
}

bool IsPrinterClassInstanceId(std::string_view instanceId) {
  return instanceId.starts_with("USBPRINT");
}

std::optional<TUsbDeviceEntry> UsbDeviceEntry(const TUsbDeviceFacts &facts) {
  std::optional<TUsbDeviceEntry> entry;
  if (facts.InstanceId && IsPrinterClassInstanceId(*facts.InstanceId)) {
    entry.emplace();
    entry->DeviceId = facts.InstanceId;
    entry->FriendlyName = facts.FriendlyName;
    entry->HardwareId = facts.HardwareId;
  }
  if (facts.InterfaceDeviceId) {
    if (!entry) {
      entry.emplace();
    }
    entry->Vpid = facts.InterfaceDeviceId;
  }
  return entry;
}

TCJsonText UsbDeviceListJson(const std::vector<TUsbDeviceEntry> &entries) {
  TCJsonItem array(cJSON_CreateArray());
  if (!array) {
    return nullptr;
  }
  for (const TUsbDeviceEntry &entry : entries) {
    TCJsonItem object(cJSON_CreateObject());
    if (!object || !AddOptionalString(object.get(), "deviceId", entry.DeviceId) ||
        !AddOptionalString(object.get(), "friendlyName", entry.FriendlyName) ||
        !AddOptionalString(object.get(), "hardwareId", entry.HardwareId) ||
        !AddOptionalString(object.get(), "vpid", entry.Vpid)) {
      return nullptr;
    }
    if (!cJSON_AddItemToArray(array.get(), object.get())) {
      return nullptr;
    }
    object.release(); // the array owns it now
  }
  return TCJsonText(cJSON_Print(array.get()));
}

} // namespace kestrune
