#include "DeviceListJson.h"

#include <algorithm>

namespace kestrune {

namespace {

// Adds a string item to an array; false when cJSON cannot allocate.
bool appendString(cJSON *array, const std::string &text) {
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

bool addOptionalString(cJSON *object, const char *key, const std::optional<std::string> &value) {
  return !value || cJSON_AddStringToObject(object, key, value->c_str()) != nullptr;
}

} // namespace

CJsonText portListJson(const std::vector<std::string> &portNames) {
  CJsonItem array(cJSON_CreateArray());
  if (!array) {
    return nullptr;
  }
  for (const std::string &name : portNames) {
    if (!appendString(array.get(), name)) {
      return nullptr;
    }
  }
  return CJsonText(cJSON_Print(array.get()));
}

std::string registryValueText(std::span<const uint8_t> data) {
  const auto end = std::find(data.begin(), data.end(), uint8_t{0});
  return std::string(data.begin(), end);
}

bool isPrinterClassInstanceId(std::string_view instanceId) {
  return instanceId.starts_with("USBPRINT");
}

std::optional<UsbDeviceEntry> usbDeviceEntry(const UsbDeviceFacts &facts) {
  std::optional<UsbDeviceEntry> entry;
  if (facts.instanceId && isPrinterClassInstanceId(*facts.instanceId)) {
    entry.emplace();
    entry->deviceId = facts.instanceId;
    entry->friendlyName = facts.friendlyName;
    entry->hardwareId = facts.hardwareId;
  }
  if (facts.interfaceDeviceId) {
    if (!entry) {
      entry.emplace();
    }
    entry->vpid = facts.interfaceDeviceId;
  }
  return entry;
}

CJsonText usbDeviceListJson(const std::vector<UsbDeviceEntry> &entries) {
  CJsonItem array(cJSON_CreateArray());
  if (!array) {
    return nullptr;
  }
  for (const UsbDeviceEntry &entry : entries) {
    CJsonItem object(cJSON_CreateObject());
    if (!object || !addOptionalString(object.get(), "deviceId", entry.deviceId) ||
        !addOptionalString(object.get(), "friendlyName", entry.friendlyName) ||
        !addOptionalString(object.get(), "hardwareId", entry.hardwareId) ||
        !addOptionalString(object.get(), "vpid", entry.vpid)) {
      return nullptr;
    }
    if (!cJSON_AddItemToArray(array.get(), object.get())) {
      return nullptr;
    }
    object.release(); // the array owns it now
  }
  return CJsonText(cJSON_Print(array.get()));
}

} // namespace kestrune
