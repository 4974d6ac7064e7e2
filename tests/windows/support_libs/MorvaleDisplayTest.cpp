// Morvale.dll as a host uses it: loaded by file name, bound by name, driving
// the pseudo-terminal peer on the far end of its COM port as the customer
// display, and listing the COM ports.
#include "HostSupport.h"
#include "Morvale.h"
#include "PeerClient.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

using pos::test::bindExport;
using pos::test::LoadedModule;
using pos::test::PeerClient;
using Bytes = std::vector<uint8_t>;

const char *const MissingPort = "\\\\.\\COM250";

class Morvale : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded()) << "error " << dll_.loadError();
    for (const void *fn :
         {reinterpret_cast<const void *>(initComPort_), reinterpret_cast<const void *>(sendData_),
          reinterpret_cast<const void *>(initDisplay_), reinterpret_cast<const void *>(clearDisplay_),
          reinterpret_cast<const void *>(openCashBox_), reinterpret_cast<const void *>(sendDisplayData_),
          reinterpret_cast<const void *>(setLightStatus_), reinterpret_cast<const void *>(closeComPort_),
          reinterpret_cast<const void *>(getComPortList_),
          reinterpret_cast<const void *>(freeNativeMemory_)}) {
      ASSERT_NE(fn, nullptr);
    }
    closeComPort_();
    peer_.clear();
  }
  void TearDown() override {
    if (closeComPort_ != nullptr) {
      closeComPort_();
    }
  }

  static std::string port() { return "\\\\.\\" + PeerClient::comPort(); }

  // Nothing reached the line since the last check: a clear command sent now
  // is the very next byte the display receives.
  void expectLineQuiet() {
    clearDisplay_();
    EXPECT_EQ(peer_.receive(1, 3000), Bytes{0x0C});
    EXPECT_EQ(peer_.takeAll(), Bytes{});
  }

  LoadedModule dll_{L"Morvale.dll"};
  morvale::TInitComPortFn initComPort_ = bindExport<morvale::TInitComPortFn>(dll_, "initComPort");
  morvale::TSendDataFn sendData_ = bindExport<morvale::TSendDataFn>(dll_, "sendData");
  morvale::TDisplayCommandFn initDisplay_ = bindExport<morvale::TDisplayCommandFn>(dll_, "initDisplay");
  morvale::TDisplayCommandFn clearDisplay_ = bindExport<morvale::TDisplayCommandFn>(dll_, "clearDisplay");
  morvale::TDisplayCommandFn openCashBox_ = bindExport<morvale::TDisplayCommandFn>(dll_, "openCashBox");
  morvale::TSendDisplayDataFn sendDisplayData_ =
      bindExport<morvale::TSendDisplayDataFn>(dll_, "sendDisplayData");
  morvale::TSetLightStatusFn setLightStatus_ = bindExport<morvale::TSetLightStatusFn>(dll_, "setLightStatus");
  morvale::TCloseComPortFn closeComPort_ = bindExport<morvale::TCloseComPortFn>(dll_, "closeComPort");
  morvale::TGetComPortListFn getComPortList_ = bindExport<morvale::TGetComPortListFn>(dll_, "getComPortList");
  morvale::TFreeNativeMemoryFn freeNativeMemory_ =
      bindExport<morvale::TFreeNativeMemoryFn>(dll_, "freeNativeMemory");
  PeerClient peer_;
};

TEST_F(Morvale, InitComPortSetsTheDisplayLine) {
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  const pos::test::LineSettings line = peer_.line();
  EXPECT_EQ(line.baud, 2400u);
  EXPECT_EQ(line.dataBits, 8);
  EXPECT_EQ(line.parity, 'N');
  EXPECT_EQ(line.stopBits, 1);
}

TEST_F(Morvale, EachDisplayFunctionPutsExactlyItsBytesOnTheLine) {
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  struct Case {
    const char *name;
    std::function<void()> call;
    Bytes expected;
  };
  const Case cases[] = {
      {"initDisplay", [&] { initDisplay_(); }, {0x1B, 0x40}},
      {"clearDisplay", [&] { clearDisplay_(); }, {0x0C}},
      {"openCashBox", [&] { openCashBox_(); }, {0x02, 0x4D}},
      {"sendDisplayData(abc)", [&] { sendDisplayData_("abc"); }, {0x1B, 0x51, 0x41, 'a', 'b', 'c', 0x0D}},
      {"setLightStatus(0)", [&] { setLightStatus_(0); }, {0x1B, 0x73, 0x30}},
      {"setLightStatus(1)", [&] { setLightStatus_(1); }, {0x1B, 0x73, 0x31}},
      {"setLightStatus(2)", [&] { setLightStatus_(2); }, {0x1B, 0x73, 0x32}},
      {"setLightStatus(3)", [&] { setLightStatus_(3); }, {0x1B, 0x73, 0x33}},
      {"setLightStatus(4)", [&] { setLightStatus_(4); }, {0x1B, 0x73, 0x34}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    c.call();
    EXPECT_EQ(peer_.receive(c.expected.size(), 3000), c.expected);
    EXPECT_EQ(peer_.takeAll(), Bytes{});
  }
}

TEST_F(Morvale, CallsWithNothingToShowWriteNothing) {
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  sendDisplayData_("");
  sendDisplayData_(nullptr);
  setLightStatus_(5);
  setLightStatus_(-1);
  expectLineQuiet();
}

TEST_F(Morvale, SendDataNeedsAnOpenPortAndAValidBuffer) {
  const uint8_t bytes[] = {0x41, 0x00, 0x42};
  EXPECT_EQ(sendData_(bytes, 3), 0) << "before initComPort";
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  EXPECT_EQ(sendData_(nullptr, 3), 0);
  EXPECT_EQ(sendData_(bytes, -1), 0);
  EXPECT_EQ(sendData_(bytes, 0), 1);
  expectLineQuiet();
  EXPECT_EQ(sendData_(bytes, 3), 1);
  EXPECT_EQ(peer_.receive(3, 3000), Bytes(bytes, bytes + 3));
  closeComPort_();
  closeComPort_();
  EXPECT_EQ(sendData_(bytes, 3), 0) << "after closeComPort";
  initDisplay_(); // on a closed port: nothing, no crash
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  expectLineQuiet();
}

TEST_F(Morvale, InitComPortFailsSilentlyAndLeavesNoPortOpen) {
  // A missing port, no name, and the null device (it opens, but has no
  // serial settings to read).
  for (const char *name : {MissingPort, static_cast<const char *>(nullptr), "NUL"}) {
    SCOPED_TRACE(name == nullptr ? "(null)" : name);
    pos::test::StdoutCapture capture;
    const long before = pos::test::processHandleCount();
    EXPECT_EQ(initComPort_(name), 0);
    const uint8_t bytes[] = {0x30};
    EXPECT_EQ(sendData_(bytes, 1), 0);
    EXPECT_EQ(pos::test::processHandleCount(), before);
    EXPECT_EQ(capture.text(), "");
  }
}

TEST_F(Morvale, InitComPortWhileOpenReplacesThePortWithoutLeakingIt) {
  const long before = pos::test::processHandleCount();
  ASSERT_GT(before, 0);
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  openCashBox_();
  EXPECT_EQ(peer_.receive(2, 3000), (Bytes{0x02, 0x4D}));
  // A failed open leaves no port open either.
  EXPECT_EQ(initComPort_(MissingPort), 0);
  EXPECT_EQ(pos::test::processHandleCount(), before);
}

TEST_F(Morvale, GetComPortListListsThePortsThatExistAlsoWhenInUse) {
  // The test's port is held open twice: by the library and by another handle.
  ASSERT_EQ(initComPort_(port().c_str()), 1);
  HANDLE other =
      CreateFileA(port().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  char *list = getComPortList_();
  if (other != INVALID_HANDLE_VALUE) {
    CloseHandle(other);
  }
  ASSERT_NE(list, nullptr);
  const std::string text = list;
  freeNativeMemory_(list);
  freeNativeMemory_(nullptr);
  std::printf("getComPortList: %s\n", text.c_str());

  static const std::regex form(R"re(\[("COM[1-9]\d*"(,"COM[1-9]\d*")*)?\])re");
  ASSERT_TRUE(std::regex_match(text, form)) << text;
  std::vector<int> numbers;
  static const std::regex name(R"re("COM(\d+)")re");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), name); it != std::sregex_iterator(); ++it) {
    numbers.push_back(std::stoi((*it)[1]));
  }
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
  EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end()) << "a port listed twice";
  const int own = std::stoi(PeerClient::comPort().substr(3));
  EXPECT_EQ(std::count(numbers.begin(), numbers.end(), own), 1) << "the port in use is missing";
  // The same ports as the system shows this host: every port from COM1 to
  // COM256 that opens, or exists but is in use.
  std::vector<int> present;
  for (int n = 1; n <= 256; ++n) {
    const std::string path = "\\\\.\\COM" + std::to_string(n);
    HANDLE probe =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      CloseHandle(probe);
      present.push_back(n);
    } else if (GetLastError() == ERROR_ACCESS_DENIED || n == own) {
      present.push_back(n);
    }
  }
  EXPECT_EQ(numbers, present);
  // The list did not disturb the library's own port.
  openCashBox_();
  EXPECT_EQ(peer_.receive(2, 3000), (Bytes{0x02, 0x4D}));
}

} // namespace
