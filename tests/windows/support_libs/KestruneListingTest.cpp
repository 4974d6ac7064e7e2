// Kestrune.dll's listings and system queries, as a host uses them: the port
// and USB listings parsed with the library's own cJSON and released with its
// cJSON_free, the system volume on threads in each COM apartment, and the
// local IP address.
#include "HostSupport.h"
#include "Kestrune.h"

#include <winsock2.h>

#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using pos::test::bindExport;
using pos::test::LoadedModule;
using pos::test::StdoutCapture;

// The few cJSON functions a host needs to read a listing (cJSON's item
// layout is part of its public interface; these accessors keep the test
// independent of it).
struct CJson {
  using Parse = void *(*)(const char *);
  using Delete = void (*)(void *);
  using Free = void (*)(void *);
  using Size = int (*)(const void *);
  using Item = void *(*)(const void *, int);
  using Test = int (*)(const void *);
  using StringValue = char *(*)(const void *);
  using Child = void *(*)(const void *, const char *);
  using Has = int (*)(const void *, const char *);

  explicit CJson(const LoadedModule &dll)
      : parse(bindExport<Parse>(dll, "cJSON_Parse")), remove(bindExport<Delete>(dll, "cJSON_Delete")),
        free(bindExport<Free>(dll, "cJSON_free")), size(bindExport<Size>(dll, "cJSON_GetArraySize")),
        item(bindExport<Item>(dll, "cJSON_GetArrayItem")), isArray(bindExport<Test>(dll, "cJSON_IsArray")),
        isObject(bindExport<Test>(dll, "cJSON_IsObject")), isString(bindExport<Test>(dll, "cJSON_IsString")),
        stringValue(bindExport<StringValue>(dll, "cJSON_GetStringValue")),
        child(bindExport<Child>(dll, "cJSON_GetObjectItemCaseSensitive")),
        hasItem(bindExport<Has>(dll, "cJSON_HasObjectItem")) {}

  Parse parse;
  Delete remove;
  Free free;
  Size size;
  Item item;
  Test isArray;
  Test isObject;
  Test isString;
  StringValue stringValue;
  Child child;
  Has hasItem;
};

class Kestrune : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded()) << "error " << dll_.loadError();
    ASSERT_NE(findAvailablePort_, nullptr);
    ASSERT_NE(findAvailableUsb_, nullptr);
    ASSERT_NE(getSystemVolume_, nullptr);
    ASSERT_NE(getLocalIpAddress_, nullptr);
    ASSERT_NE(json_.parse, nullptr);
    ASSERT_NE(json_.free, nullptr);
  }

  // The port list as the host reads it: the texts of a JSON array. The text
  // itself is released with the library's cJSON_free.
  std::vector<std::string> portList(std::string *text = nullptr) {
    char *listing = findAvailablePort_();
    EXPECT_NE(listing, nullptr);
    if (listing == nullptr) {
      return {};
    }
    if (text != nullptr) {
      *text = listing;
    }
    void *array = json_.parse(listing);
    json_.free(listing);
    EXPECT_NE(array, nullptr);
    std::vector<std::string> names;
    if (array != nullptr) {
      EXPECT_TRUE(json_.isArray(array));
      for (int i = 0; i < json_.size(array); ++i) {
        const void *element = json_.item(array, i);
        EXPECT_TRUE(json_.isString(element));
        names.emplace_back(json_.stringValue(element));
      }
      json_.remove(array);
    }
    return names;
  }

  LoadedModule dll_{L"Kestrune.dll"};
  CJson json_{dll_};
  kestrune::TFindAvailablePortFn findAvailablePort_ =
      bindExport<kestrune::TFindAvailablePortFn>(dll_, "findAvailablePort");
  kestrune::TFindAvailableUsbFn findAvailableUsb_ =
      bindExport<kestrune::TFindAvailableUsbFn>(dll_, "findAvailableUSB");
  kestrune::TGetSystemVolumeFn getSystemVolume_ =
      bindExport<kestrune::TGetSystemVolumeFn>(dll_, "getSystemVolume");
  kestrune::TGetLocalIpAddressFn getLocalIpAddress_ =
      bindExport<kestrune::TGetLocalIpAddressFn>(dll_, "getLocalIPAddress");
};

// One registry value of the test (REG_SZ): its name and its data as stored.
struct Value {
  std::string name;
  std::string data; // stored as it stands, without a terminator unless it holds one
};

// Gives this process a HKEY_LOCAL_MACHINE of its own (a key under the test's
// HKEY_CURRENT_USER tree), so a listing sees exactly the values a case puts
// there, whatever the prefix's real SERIALCOMM key holds and whatever other
// tests do meanwhile.
class PrivateLocalMachine {
public:
  PrivateLocalMachine() {
    root_ = "Software\\PosPeripheralsTests\\KestruneHklm" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, root_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_), ERROR_SUCCESS);
  }
  ~PrivateLocalMachine() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PosPeripheralsTests"); // only when no other test uses it
  }
  PrivateLocalMachine(const PrivateLocalMachine &) = delete;
  PrivateLocalMachine &operator=(const PrivateLocalMachine &) = delete;

  // Creates HARDWARE\DEVICEMAP\SERIALCOMM (empty) in it, then the values.
  void serialComm(const std::vector<Value> &values) {
    HKEY serialComm = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key_, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &serialComm, nullptr),
              ERROR_SUCCESS);
    for (const Value &value : values) {
      EXPECT_EQ(RegSetValueExA(serialComm, value.name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(value.data.data()),
                               static_cast<DWORD>(value.data.size())),
                ERROR_SUCCESS);
    }
    RegCloseKey(serialComm);
  }

private:
  std::string root_;
  HKEY key_ = nullptr;
};

TEST_F(Kestrune, FindAvailablePortListsTheDataOfEverySerialCommValue) {
  const std::string longName = "\\Device\\" + std::string(60, 'N');
  const std::string longData = "COM" + std::string(100, '9');
  struct Case {
    const char *name;
    std::vector<Value> values;
    std::vector<std::string> expected; // sorted
  };
  const Case cases[] = {
      {"none", {}, {}},
      {"one", {{"\\Device\\Serial0", std::string("COM1", 5)}}, {"COM1"}},
      {"several",
       {{"\\Device\\Serial0", std::string("COM1", 5)},
        {"\\Device\\Serial1", std::string("COM3", 5)},
        {"\\Device\\VirtualSerial7", std::string("COM17", 6)}},
       {"COM1", "COM17", "COM3"}},
      {"a name longer than 31 characters", {{longName, "COM5" + std::string(1, '\0')}}, {"COM5"}},
      {"data longer than 64 bytes", {{"\\Device\\Serial2", longData + std::string(1, '\0')}}, {longData}},
      {"data without a terminator",
       {{"\\Device\\Serial3", "COM42"}, {"\\Device\\Serial4", "COM7"}},
       {"COM42", "COM7"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    PrivateLocalMachine machine;
    machine.serialComm(c.values);
    std::vector<std::string> names = portList();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.expected);
  }
}

TEST_F(Kestrune, FindAvailablePortPrintsTheArrayAsCJsonFormatsIt) {
  struct Case {
    const char *name;
    std::vector<Value> values;
    std::string expected;
  };
  const Case cases[] = {
      {"none", {}, "[]"},
      {"one", {{"\\Device\\Serial0", std::string("COM1", 5)}}, "[\"COM1\"]"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    PrivateLocalMachine machine;
    machine.serialComm(c.values);
    std::string text;
    portList(&text);
    EXPECT_EQ(text, c.expected);
  }
}

TEST_F(Kestrune, FindAvailablePortWithoutTheKeyReturnsNull) {
  PrivateLocalMachine machine;
  StdoutCapture capture;
  EXPECT_EQ(findAvailablePort_(), nullptr);
  EXPECT_EQ(capture.text(), "RegOpenKeyEx fail!");
}

TEST_F(Kestrune, FindAvailablePortReadsTheMachinesSerialCommKey) {
  // A value of this test's own among whatever the prefix lists.
  const std::string name = "\\Device\\PosKestruneTest" + std::to_string(GetCurrentProcessId());
  const std::string data = "COMTEST" + std::to_string(GetCurrentProcessId());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                           static_cast<DWORD>(data.size() + 1)),
            ERROR_SUCCESS);
  const std::vector<std::string> names = portList();
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
  EXPECT_EQ(std::count(names.begin(), names.end(), data), 1);
}

TEST_F(Kestrune, FindAvailableUsbGivesObjectsWithOnlyTheListedKeys) {
  for (const int32_t mode : {0, 1}) {
    SCOPED_TRACE(mode);
    StdoutCapture capture;
    char *listing = findAvailableUsb_(mode);
    const std::string printed = capture.text();
    ASSERT_NE(listing, nullptr);
    std::printf("findAvailableUSB(%d): %s\n", mode, listing);
    void *array = json_.parse(listing);
    json_.free(listing);
    ASSERT_NE(array, nullptr);
    EXPECT_TRUE(json_.isArray(array));
    const std::set<std::string> keys = {"deviceId", "friendlyName", "hardwareId", "vpid"};
    for (int i = 0; i < json_.size(array); ++i) {
      const void *object = json_.item(array, i);
      ASSERT_TRUE(json_.isObject(object));
      int known = 0;
      for (const std::string &key : keys) {
        if (json_.hasItem(object, key.c_str())) {
          EXPECT_TRUE(json_.isString(json_.child(object, key.c_str()))) << key;
          ++known;
        }
      }
      EXPECT_GT(known, 0);
      EXPECT_EQ(known, json_.size(object)) << "a key outside the list";
      if (mode == 1) {
        EXPECT_EQ(json_.size(object), 1);
        EXPECT_TRUE(json_.hasItem(object, "vpid"));
      }
      if (json_.hasItem(object, "deviceId")) {
        EXPECT_EQ(std::string(json_.stringValue(json_.child(object, "deviceId"))).rfind("USBPRINT", 0), 0u);
      }
    }
    json_.remove(array);
    // Every printed line is one of the enumeration's own lines.
    EXPECT_TRUE(std::regex_match(printed, std::regex("((Friendly Name|Device ID): [^\n]*\n)*"))) << printed;
  }
}

// Runs body on a thread of its own, so each case starts without COM.
template <class Body> void onNewThread(Body body) {
  std::thread(body).join();
}

bool isVolumeResult(float result) {
  return (result >= 0.0f && result <= 1.0f) || result == 2.0f || result == 3.0f || result == 4.0f;
}

TEST_F(Kestrune, GetSystemVolumeGivesALevelOrAFailureCode) {
  onNewThread([&] {
    const float result = getSystemVolume_();
    std::printf("\ngetSystemVolume: %g\n", static_cast<double>(result));
    EXPECT_TRUE(isVolumeResult(result)) << result;
  });
}

TEST_F(Kestrune, GetSystemVolumeOnASingleThreadedApartmentFailsAndLeavesCom) {
  onNewThread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    StdoutCapture capture;
    EXPECT_EQ(getSystemVolume_(), -1.0f);
    EXPECT_EQ(capture.text(), "******start Index is 0\n******start Index is fail 1\n");
    // The thread's own initialisation is still in force: a further one only
    // counts up (S_FALSE) and is balanced here with the thread's own.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
  });
}

TEST_F(Kestrune, GetSystemVolumeOnAMultithreadedThreadBalancesItsInitialisation) {
  onNewThread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_TRUE(isVolumeResult(getSystemVolume_()));
    CoUninitialize();
    // The library's S_FALSE initialisation was balanced: COM is gone from the
    // thread, so initialising it again starts afresh.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
  });
}

TEST_F(Kestrune, GetLocalIpAddressKeepsItsTextInTheLibrary) {
  const char *first = getLocalIpAddress_();
  ASSERT_NE(first, nullptr);
  const std::string text = first;
  std::printf("getLocalIPAddress: %s\n", text.c_str());
  static const std::regex dotted(
      R"((25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(\.(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)){3})");
  EXPECT_TRUE(std::regex_match(text, dotted)) << text;
  // The text lives in the library's own storage, not in a buffer of Winsock
  // that is gone once the call has stopped Winsock.
  MEMORY_BASIC_INFORMATION memory{};
  ASSERT_NE(VirtualQuery(first, &memory, sizeof memory), 0u);
  EXPECT_EQ(memory.AllocationBase, reinterpret_cast<void *>(GetModuleHandleW(L"Kestrune.dll")));
  // Still readable, and the same, after Winsock has been started and stopped
  // again by someone else.
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) == 0) {
    WSACleanup();
  }
  EXPECT_EQ(std::string(first), text);
  const char *second = getLocalIpAddress_();
  EXPECT_EQ(second, first);
  EXPECT_EQ(std::string(second), text);
}

} // namespace
