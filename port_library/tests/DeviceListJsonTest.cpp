// The JSON texts of the port and USB listings, byte for byte as the host
// receives them, and the rules that pick what goes into them.
#include "DeviceListJson.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrune {
namespace {

std::string text(const TCJsonText &json) {
  EXPECT_NE(json, nullptr);
  return json ? std::string(json.get()) : std::string();
}

TEST(PortListJson, PrintsTheNamesAsAFormattedArray) {
  struct Case {
    const char *name;
    std::vector<std::string> ports;
    const char *expected;
  };
  const Case cases[] = {
      {"none", {}, "[]"},
      {"one", {"COM1"}, "[\"COM1\"]"},
      {"many", {"COM1", "COM3", "COM10", "COM256"}, "[\"COM1\", \"COM3\", \"COM10\", \"COM256\"]"},
      {"escaped", {"\\Device\\\"x\""}, "[\"\\\\Device\\\\\\\"x\\\"\"]"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(text(PortListJson(c.ports)), c.expected);
  }
}

TEST(RegistryValueText, TakesTheDataUpToItsFirstZeroByte) {
  struct Case {
    const char *name;
    std::vector<uint8_t> data;
    const char *expected;
  };
  const Case cases[] = {
      {"terminated", {'C', 'O', 'M', '1', 0}, "COM1"},
      {"not terminated", {'C', 'O', 'M', '1', '2'}, "COM12"},
      {"data after the terminator", {'C', 'O', 'M', '3', 0, 'x', 'y', 0}, "COM3"},
      {"only a terminator", {0}, ""},
      {"empty", {}, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RegistryValueText(c.data), c.expected);
  }
}

TEST(RegistryValueText, KeepsLongDataWhole) {
  std::vector<uint8_t> data(300, 'A');
  data.push_back(0);
  EXPECT_EQ(RegistryValueText(data), std::string(300, 'A'));
}

TEST(UsbDeviceEntry, PrinterClassNeedsTheWholePrefixInItsCase) {
  struct Case {
    const char *id;
    bool printer;
  };
  const Case cases[] = {
      {"USBPRINT\\HPLASER\\1&2", true},
      {"USBPRINT", true},
      {"USBPRIN", false},
      {"usbprint\\hplaser\\1", false},
      {"USB\\VID_04B8&PID_0202", false},
      {"", false},
      {"XUSBPRINT\\A", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(IsPrinterClassInstanceId(c.id), c.printer);
  }
}

TEST(UsbDeviceEntry, ListsPrinterClassDevicesAndDevicesWithTheUsbInterface) {
  const std::string printer = "USBPRINT\\EPSONTM\\7&1";
  const std::string usb = "USB\\VID_04B8&PID_0202\\5&2";
  struct Case {
    const char *name;
    TUsbDeviceFacts facts;
    std::optional<TUsbDeviceEntry> expected;
  };
  const Case cases[] = {
      {"printer with both properties",
       {printer, "Receipt printer", "USBPRINT\\EPSONTM", std::nullopt},
       TUsbDeviceEntry{printer, "Receipt printer", "USBPRINT\\EPSONTM", std::nullopt}},
      {"printer whose properties cannot be read",
       {printer, std::nullopt, std::nullopt, std::nullopt},
       TUsbDeviceEntry{printer, std::nullopt, std::nullopt, std::nullopt}},
      {"printer with the USB interface", {printer, "P", "H", usb}, TUsbDeviceEntry{printer, "P", "H", usb}},
      {"USB device",
       {usb, std::nullopt, std::nullopt, usb},
       TUsbDeviceEntry{std::nullopt, std::nullopt, std::nullopt, usb}},
      {"properties of a device that is no printer are not listed",
       {usb, "Hub", "USB\\ROOT_HUB", usb},
       TUsbDeviceEntry{std::nullopt, std::nullopt, std::nullopt, usb}},
      {"interface without an instance ID",
       {std::nullopt, std::nullopt, std::nullopt, usb},
       TUsbDeviceEntry{std::nullopt, std::nullopt, std::nullopt, usb}},
      {"neither", {"PCI\\VEN_8086", "Bridge", "PCI\\VEN_8086", std::nullopt}, std::nullopt},
      {"nothing readable", {}, std::nullopt},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<TUsbDeviceEntry> entry = UsbDeviceEntry(c.facts);
    ASSERT_EQ(entry.has_value(), c.expected.has_value());
    if (entry) {
      EXPECT_EQ(entry->DeviceId, c.expected->DeviceId);
      EXPECT_EQ(entry->FriendlyName, c.expected->FriendlyName);
      EXPECT_EQ(entry->HardwareId, c.expected->HardwareId);
      EXPECT_EQ(entry->Vpid, c.expected->Vpid);
    }
  }
}

TEST(UsbDeviceListJson, PrintsOneFormattedObjectPerDeviceWithItsKeysInOrder) {
  struct Case {
    const char *name;
    std::vector<TUsbDeviceEntry> entries;
    const char *expected;
  };
  const Case cases[] = {
      {"none", {}, "[]"},
      {"USB device",
       {{std::nullopt, std::nullopt, std::nullopt, "USB\\VID_1&PID_2\\3"}},
       "[{\n\t\t\"vpid\":\t\"USB\\\\VID_1&PID_2\\\\3\"\n\t}]"},
      {"printer with all four keys",
       {{"USBPRINT\\P\\1", "Printer", "USBPRINT\\P", "USB\\VID_1&PID_2\\3"}},
       "[{\n\t\t\"deviceId\":\t\"USBPRINT\\\\P\\\\1\",\n\t\t\"friendlyName\":\t\"Printer\",\n"
       "\t\t\"hardwareId\":\t\"USBPRINT\\\\P\",\n\t\t\"vpid\":\t\"USB\\\\VID_1&PID_2\\\\3\"\n\t}]"},
      {"two devices",
       {{"USBPRINT\\A", std::nullopt, "H", std::nullopt}, {std::nullopt, std::nullopt, std::nullopt, "V"}},
       "[{\n\t\t\"deviceId\":\t\"USBPRINT\\\\A\",\n\t\t\"hardwareId\":\t\"H\"\n\t}, "
       "{\n\t\t\"vpid\":\t\"V\"\n\t}]"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(text(UsbDeviceListJson(c.entries)), c.expected);
  }
}

} // namespace
} // namespace kestrune
