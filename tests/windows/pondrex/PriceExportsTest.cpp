// The price and PLU exports of Pondrex.dll against a simulated
// price-computing scale, as a host program drives them: the library loaded
// by file name, exports bound by name and called as stdcall, and the host's
// own window, on the thread that loaded the library, receiving the weight
// reports. The weighing link runs at 19200 baud, the price bus at 9600, so
// the simulator tells the two apart.
#include "FirmwareImage.h"
#include "HostThread.h"
#include "PondrexExports.h"
#include "PriceFrames.h"
#include "PriceScaleClient.h"
#include "ReloadPondrex.h"
#include "ScratchFolder.h"
#include "TestWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using pondrex::test::PluSlotFrame;
using pos::test::LoadedModule;
using pos::test::PondrexExports;
using pos::test::PriceScaleClient;
using pos::test::runOnOtherThread;
using pos::test::ScaleLogEntry;
using pos::test::WhileWaiting;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

constexpr uint32_t LinkRate = 19200;
const Bytes Start = {0x44};
const Bytes Open = {0x11, 0x00, 0x00, 0x00, 0x00, 0xEF};
const Bytes Close = {0x33, 0x00, 0x00, 0x00, 0x00, 0xCD};
const Bytes WeightFrame = {0x53, 0x05, 0x04, 0xD2};
// What the price bus writes for SendPrice(12.5).
const std::vector<Bytes> PriceOf12_5 = {
    Start, Open, {0x77, 0xF9, 0x00, 0x00, 0x04, 0x00, 0x00, 0x04, 0xE2, 0xA6}, Close};

// A window of the host that keeps the texts of its WM_USER messages, and
// does what the test asks on each.
class HostWindow {
public:
  HostWindow()
      : window_([this](UINT message, WPARAM wParam, LPARAM lParam) {
          if (message == WM_USER && lParam == 0 && wParam != 0) {
            const auto *text = reinterpret_cast<const wchar_t *>(wParam);
            texts.emplace_back(text, text + wcslen(text));
            if (onReport)
              onReport();
          }
        }) {}
  HWND handle() const { return window_.get(); }
  std::vector<std::string> texts;
  std::function<void()> onReport;

private:
  pondrex::test::TestWindow window_;
};

class PondrexPrice : public ::testing::Test {
protected:
  void SetUp() override {
    scale_.resetBoth();
    scale_.setId(123456);
    scale_.is1Text('S', ' ', "  0.00", "kg");
    std::filesystem::create_directories(folder_);
    dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
    ASSERT_TRUE(dll_->loaded()) << "LoadLibraryW(Pondrex.dll) failed, error " << dll_->loadError();
    pondrex_ = std::make_unique<PondrexExports>(*dll_);
    PONDREX_INVOKE(*pondrex_, Config, 5, 300, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(openLink(), -1);
    PONDREX_INVOKE(*pondrex_, CreateComm);
    PONDREX_INVOKE(*pondrex_, SetRecvHandle, window_.handle());
    scale_.clear();
  }
  void TearDown() override {
    pondrex_->result("CloseDevice");
    EXPECT_EQ(pondrex_->faults(), Texts{});
    pondrex_.reset();
    dll_.reset();
    std::filesystem::remove_all(folder_);
  }

  int32_t openLink() {
    return static_cast<int32_t>(PONDREX_INVOKE(*pondrex_, OpenDevice, port_.c_str(), LinkRate));
  }
  int32_t tare() { return static_cast<int32_t>(PONDREX_INVOKE(*pondrex_, Tare, "123456")); }
  // The 16-bit result of SendPrice: -1 or 0.
  int16_t sendPrice(double price) {
    static_assert(std::is_same_v<decltype(&SendPrice), int16_t(PONDREX_CALL *)(double)>);
    // The double takes two argument slots, low half first.
    uint32_t slots[2];
    std::memcpy(slots, &price, sizeof price);
    return static_cast<int16_t>(pondrex_->call("SendPrice", {slots[0], slots[1]}) & 0xFFFF);
  }
  // The one-byte results of DownLoadPlu and UpLoadPlu.
  uint8_t downLoadPlu(const std::string &path) {
    return static_cast<uint8_t>(PONDREX_INVOKE(*pondrex_, DownLoadPlu, path.c_str()) & 0xFF);
  }
  uint8_t upLoadPlu(const std::string &path) {
    return static_cast<uint8_t>(PONDREX_INVOKE(*pondrex_, UpLoadPlu, path.c_str()) & 0xFF);
  }
  std::string file(const char *name) const { return (folder_ / name).string(); }
  // The names in the test's folder, sorted: what a transfer left there.
  std::vector<std::string> names() const { return pondrex::test::SortedNames(folder_); }
  // The bytes of every price-bus input, after waiting for count of them.
  std::vector<Bytes> priceInputs(size_t count) {
    std::vector<Bytes> inputs;
    for (const ScaleLogEntry &entry : scale_.priceLog(count, 5000)) {
      EXPECT_EQ(entry.baud, 9600u) << entry.kind;
      inputs.push_back(entry.bytes);
    }
    return inputs;
  }

  PriceScaleClient scale_;
  std::string port_ = PriceScaleClient::comPort();
  std::filesystem::path folder_ = std::filesystem::temp_directory_path() / "pondrex_price_test";
  HostWindow window_;
  std::unique_ptr<LoadedModule> dll_;
  std::unique_ptr<PondrexExports> pondrex_;
};

TEST_F(PondrexPrice, SendPriceWritesItsFramesAt9600ReportsWeightsAndGivesThePortBack) {
  scale_.priceBefore(0x11, WeightFrame);
  EXPECT_EQ(sendPrice(12.5), -1);
  EXPECT_EQ(priceInputs(4), PriceOf12_5);
  EXPECT_EQ(window_.texts, Texts{"1:5:1234:KG:0"});

  // The weighing link is open again at its own rate.
  EXPECT_EQ(static_cast<int32_t>(PONDREX_INVOKE(*pondrex_, Tare, "123456")), -1);
  const std::vector<ScaleLogEntry> link = scale_.log(1, 3000);
  ASSERT_EQ(link.size(), 1u);
  EXPECT_EQ(link[0].kind, "frame");
  EXPECT_EQ(link[0].baud, LinkRate);
}

TEST_F(PondrexPrice, DownLoadPluWritesTheFileIntoAll70Slots) {
  std::ofstream(file("plu.txt"), std::ios::binary) << "12.5\tkg\r\n3\txyz\r\n";
  EXPECT_EQ(downLoadPlu(file("plu.txt")), 1);
  std::vector<Bytes> expected = {Start, Open, PluSlotFrame(1, {0x00, 0x00, 0x04, 0xE2}),
                                 PluSlotFrame(2, {0x00, 0x00, 0x01, 0x2C})};
  for (size_t slot = 3; slot <= 70; ++slot)
    expected.push_back(PluSlotFrame(slot, {0, 0, 0, 0}));
  expected.push_back(Close);
  EXPECT_EQ(priceInputs(expected.size()), expected);
}

TEST_F(PondrexPrice, UpLoadPluWritesTheTableThatDownLoadPluWritesBack) {
  Bytes table;
  std::string expectedText;
  const char *const units[] = {"KG", "500G", "600G", "G", "LB", "100G"};
  for (uint32_t slot = 1; slot <= 70; ++slot) {
    // Every unit code, and prices up to the field's top (FF FF 0A for slot 70).
    const uint32_t price = slot * 239671;
    table.insert(table.end(), {static_cast<uint8_t>(slot % 6), static_cast<uint8_t>(price >> 16),
                               static_cast<uint8_t>(price >> 8), static_cast<uint8_t>(price)});
    std::string fraction = std::to_string(price % 100);
    if (fraction.size() < 2)
      fraction.insert(0, "0");
    while (!fraction.empty() && fraction.back() == '0')
      fraction.pop_back();
    expectedText += std::to_string(price / 100) + (fraction.empty() ? "" : "." + fraction) + "\t" +
                    units[slot % 6] + "\r\n";
  }
  scale_.setTable(table);
  // The file that is there is replaced; a file of the host's under the
  // name that the new table once had is left alone.
  std::ofstream(file("plu.txt"), std::ios::binary) << "old\r\n";
  std::ofstream(file("plu.txt.~tmp"), std::ios::binary) << "the host's\r\n";
  EXPECT_EQ(upLoadPlu(file("plu.txt")), 1);
  std::ifstream in(file("plu.txt"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), expectedText);
  in.close();
  EXPECT_EQ(priceInputs(73).size(), 73u);
  std::ifstream host(file("plu.txt.~tmp"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(host), std::istreambuf_iterator<char>()),
            "the host's\r\n");
  host.close();
  EXPECT_EQ(names(), (Texts{"plu.txt", "plu.txt.~tmp"}));

  scale_.setTable(Bytes(table.size(), 0));
  EXPECT_EQ(downLoadPlu(file("plu.txt")), 1);
  EXPECT_EQ(scale_.table(), table);
}

TEST_F(PondrexPrice, SilentScaleFailsEachTransferAndTheLinkOpensAtOnceAfterwards) {
  scale_.priceOn(0x44, {"SILENT"});
  std::ofstream(file("plu.txt"), std::ios::binary) << "1\tKG\r\n";
  EXPECT_EQ(sendPrice(1), 0);
  EXPECT_EQ(openLink(), -1);
  EXPECT_EQ(downLoadPlu(file("plu.txt")), 0);
  EXPECT_EQ(openLink(), -1);
  EXPECT_EQ(upLoadPlu(file("plu.txt")), 0);
  EXPECT_EQ(openLink(), -1);
  // Each transfer sent its first command five times, and nothing else.
  EXPECT_EQ(priceInputs(15), std::vector<Bytes>(15, Start));
  std::ifstream in(file("plu.txt"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "1\tKG\r\n");
}

std::string content(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(PondrexPrice, UploadWhoseClosingIsNotAcknowledgedLeavesTheOldFileAndTheHostsFiles) {
  std::ofstream(file("plu.txt"), std::ios::binary) << "old\r\n";
  std::ofstream(file("plu.txt.~tmp"), std::ios::binary) << "the host's\r\n";
  scale_.priceOn(0x33, {"SILENT"});
  EXPECT_EQ(upLoadPlu(file("plu.txt")), 0);
  const std::vector<Bytes> inputs = priceInputs(77);
  ASSERT_EQ(inputs.size(), 77u); // 44, 11, 70 requests, and the closing frame five times
  EXPECT_EQ(inputs.back(), Close);
  EXPECT_EQ(content(file("plu.txt")), "old\r\n");
  EXPECT_EQ(content(file("plu.txt.~tmp")), "the host's\r\n");
  EXPECT_EQ(names(), (Texts{"plu.txt", "plu.txt.~tmp"}));
}

TEST_F(PondrexPrice, UploadOntoADestinationThatCannotBeReplacedFailsAtOnce) {
  std::ofstream(file("readonly.txt"), std::ios::binary) << "old\r\n";
  const std::wstring readOnly = (folder_ / "readonly.txt").wstring();
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  std::ofstream(file("locked.txt"), std::ios::binary) << "old\r\n";
  HANDLE locked = CreateFileW((folder_ / "locked.txt").wstring().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  // The host's own fopen(name, "rb"), left open: it shares reading and
  // writing, not deleting, so the file cannot be renamed over.
  std::ofstream(file("held.txt"), std::ios::binary) << "old\r\n";
  std::FILE *held = std::fopen(file("held.txt").c_str(), "rb");
  ASSERT_NE(held, nullptr);
  std::filesystem::create_directory(folder_ / "folder.txt");
  const Texts before = names();
  for (const std::string &destination :
       {file("readonly.txt"), file("locked.txt"), file("held.txt"), file("folder.txt"),
        (folder_ / "missing" / "plu.txt").string(), file("bad<name>.txt")}) {
    SCOPED_TRACE(destination);
    EXPECT_EQ(upLoadPlu(destination), 0);
    EXPECT_EQ(names(), before);
  }
  std::fclose(held);
  CloseHandle(locked);
  EXPECT_EQ(scale_.priceLog(1, 300).size(), 0u);
  EXPECT_EQ(content(file("readonly.txt")), "old\r\n");
  EXPECT_EQ(content(file("locked.txt")), "old\r\n");
  EXPECT_EQ(content(file("held.txt")), "old\r\n");
  EXPECT_EQ(GetFileAttributesW(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
  // The weighing link is open as it was.
  EXPECT_EQ(static_cast<int32_t>(PONDREX_INVOKE(*pondrex_, Tare, "123456")), -1);
}

TEST_F(PondrexPrice, ReportsGoOnlyToTheWindowOfTheLastBus) {
  HostWindow second;
  PONDREX_INVOKE(*pondrex_, CreateComm);
  PONDREX_INVOKE(*pondrex_, SetRecvHandle, second.handle());
  scale_.priceBefore(0x11, WeightFrame);
  EXPECT_EQ(sendPrice(0.5), -1);
  EXPECT_EQ(second.texts, Texts{"1:5:1234:KG:0"});
  EXPECT_TRUE(window_.texts.empty());
}

// The download's reports to the host, as texts.
Texts downloadReports;
void __stdcall recordDownload(int32_t current, int32_t total, int32_t status, const char *message) {
  downloadReports.push_back(std::to_string(current) + " " + std::to_string(total) + " " +
                            std::to_string(status) + " " + message);
}

TEST_F(PondrexPrice, DownloadCalledFromAWeightReportIsRefusedAndThePriceGoes) {
  const std::string image = file("image.bin");
  const std::vector<uint8_t> bytes = pondrex::test::ProgramPart(2, 1, 3);
  std::ofstream(image, std::ios::binary)
      .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  downloadReports.clear();
  window_.onReport = [this, &image] {
    PONDREX_INVOKE(*pondrex_, DownloadProgramme, image.c_str(), port_.c_str(), 9600, &recordDownload);
  };
  scale_.priceBefore(0x11, WeightFrame);
  EXPECT_EQ(sendPrice(12.5), -1);
  EXPECT_EQ(window_.texts, Texts{"1:5:1234:KG:0"});
  EXPECT_EQ(downloadReports, Texts{"0 0 0 Download Program fail"});
  EXPECT_EQ(priceInputs(4), PriceOf12_5);
  EXPECT_EQ(static_cast<int32_t>(PONDREX_INVOKE(*pondrex_, Tare, "123456")), -1);
}

// A host that runs each transfer on threads of its own, each of which ends
// after its transfer, and on the thread that loaded the library and made
// the bus, in turn; the weight reports reach the host's window on its own
// thread.
TEST_F(PondrexPrice, TransfersOnThreadsThatEndAndOnTheLoadingThreadEachSucceed) {
  Bytes table(PriceScaleClient::TableBytes, 0);
  table[0] = 4; // slot 1: 0.01 LB
  table[3] = 1;
  scale_.setTable(table);
  std::ofstream(file("plu.txt"), std::ios::binary) << "0.01\tLB\r\n";
  scale_.priceBefore(0x11, WeightFrame);
  struct TCase {
    const char *name;
    std::function<bool()> transfer;
    size_t inputs;
  };
  const std::vector<TCase> cases = {
      {"SendPrice", [this] { return sendPrice(12.5) == -1; }, 4},
      {"DownLoadPlu", [this] { return downLoadPlu(file("plu.txt")) == 1; }, 73},
      {"UpLoadPlu", [this] { return upLoadPlu(file("read.txt")) == 1; }, 73},
  };
  for (const TCase &c : cases) {
    for (const bool ownThread : {true, false, true}) {
      SCOPED_TRACE(std::string(c.name) + (ownThread ? " on a thread of its own" : " on the loading thread"));
      scale_.clear();
      window_.texts.clear();
      bool done = false;
      if (ownThread) {
        EXPECT_EQ(runOnOtherThread(WhileWaiting::pump, [&] { done = c.transfer(); }), 0u)
            << "windows left on the thread";
      } else {
        done = c.transfer();
      }
      EXPECT_TRUE(done);
      EXPECT_EQ(priceInputs(c.inputs).size(), c.inputs);
      EXPECT_EQ(window_.texts, Texts{"1:5:1234:KG:0"});
    }
  }
  EXPECT_EQ(content(file("read.txt")).substr(0, 9), "0.01\tLB\r\n");
  EXPECT_EQ(scale_.table(), table);
  EXPECT_EQ(tare(), -1);
}

// The host's first calls make the bus, and try a transfer, on a thread of
// its own that then ends: the transfer fails at once (no link was ever set
// up), nothing stays on that thread, and the bus serves the thread that
// sets the link up.
TEST_F(PondrexPrice, BusMadeByTheFirstCallsOnAThreadThatEndedServesTheLoadingThread) {
  ASSERT_NO_FATAL_FAILURE(pos::test::reloadPondrex(dll_, pondrex_));
  int16_t refused = 1;
  EXPECT_EQ(runOnOtherThread(WhileWaiting::pump,
                             [&] {
                               PONDREX_INVOKE(*pondrex_, CreateComm);
                               PONDREX_INVOKE(*pondrex_, SetRecvHandle, window_.handle());
                               refused = sendPrice(12.5);
                             }),
            0u)
      << "windows left on the thread";
  EXPECT_EQ(refused, 0);
  EXPECT_EQ(scale_.priceLog(1, 300).size(), 0u);

  PONDREX_INVOKE(*pondrex_, Config, 5, 300, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(openLink(), -1);
  EXPECT_EQ(tare(), -1);
  scale_.clear();
  scale_.priceBefore(0x11, WeightFrame);
  EXPECT_EQ(sendPrice(12.5), -1);
  EXPECT_EQ(priceInputs(4), PriceOf12_5);
  EXPECT_EQ(window_.texts, Texts{"1:5:1234:KG:0"});
  EXPECT_EQ(tare(), -1);
}

} // namespace
