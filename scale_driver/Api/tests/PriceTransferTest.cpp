// The price and PLU transfers against a price-computing scale on the
// weighing link's port, on the fake platform.
#include "PriceTransfer.h"
#include "ApiTestFixture.h"
#include "FirmwareDownload.h"
#include "PSensorGlobals.h"
#include "PriceScaleFake.h"
#include "ProgressRecorder.h"
#include "ScopeExit.h"
#include "ScratchFolder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <thread>

namespace pondrex::test {
namespace {

using Kinds = std::vector<TSerialEventKind>;
constexpr auto Started = TSerialEventKind::Started;
constexpr auto Stopped = TSerialEventKind::Stopped;
constexpr auto Written = TSerialEventKind::Written;
constexpr auto StartFailed = TSerialEventKind::StartFailed;
constexpr auto StateApplied = TSerialEventKind::StateApplied;

const Bytes Start = {0x44};
const Bytes Open = {0x11, 0x00, 0x00, 0x00, 0x00, 0xEF};
const Bytes Close = {0x33, 0x00, 0x00, 0x00, 0x00, 0xCD};

class PriceTransfer : public ApiFixture {
protected:
  PriceTransfer() {
    std::filesystem::create_directories(folder);
    link().SetCommname(u"COM3");
    link().SetBaudRate(19200);
    link().Open();
    CreatePriceBus(platform);
    line.ClearEvents();
  }
  ~PriceTransfer() override {
    FreePriceBus();
    std::filesystem::remove_all(folder);
  }

  TFTPBusComm &bus() { return *GlobalFtpBusComm; }
  std::string File(const char *name) const { return (folder / name).string(); }
  static std::string Content(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  static void Write(const std::string &path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // The names in the test's folder, sorted: what a transfer left there.
  std::vector<std::string> Names() const { return SortedNames(folder); }
  Kinds EventKinds() const {
    Kinds kinds;
    for (const TSerialEvent &event : line.Events())
      kinds.push_back(event.Kind);
    return kinds;
  }
  // The data frames written to the table, in order.
  std::vector<Bytes> SlotWrites() const {
    std::vector<Bytes> frames;
    for (const Bytes &write : line.Writes())
      if (write.at(0) == 0x77)
        frames.push_back(write);
    return frames;
  }
  // The port is the link's again, at its own rate.
  void ExpectLinkOpenAgain() {
    EXPECT_TRUE(link().Active());
    EXPECT_TRUE(line.IsOpen());
    EXPECT_EQ(line.Settings().BaudRate, 19200u);
    EXPECT_FALSE(bus().isActive());
  }
  // A failed transfer leaves the bus closed and the port free.
  void ExpectPortFree() {
    EXPECT_FALSE(link().Active());
    EXPECT_FALSE(line.IsOpen());
    EXPECT_FALSE(bus().isActive());
  }

  std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("price_transfer_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  TPriceScaleFake scale{line};
};

TEST_F(PriceTransfer, SendPriceBorrowsThePortAt9600AndGivesItBack) {
  EXPECT_EQ(api::SendPrice(sensor, 12.5), -1);
  EXPECT_EQ(
      line.Writes(),
      (std::vector<Bytes>{Start, Open, {0x77, 0xF9, 0x00, 0x00, 0x04, 0x00, 0x00, 0x04, 0xE2, 0xA6}, Close}));
  // DTR drops before the bus's port closes.
  EXPECT_EQ(EventKinds(),
            (Kinds{Stopped, Started, Written, Written, Written, Written, StateApplied, Stopped, Started}));
  EXPECT_EQ(line.Events()[6].Settings.DtrControl, TDtrControl::DtrDisable);
  const TSerialEvent busOpen = line.Events()[1];
  EXPECT_EQ(busOpen.Settings.CommName, u"COM3");
  EXPECT_EQ(busOpen.Settings.BaudRate, 9600u);
  EXPECT_EQ(busOpen.Settings.DtrControl, TDtrControl::DtrEnable);
  ExpectLinkOpenAgain();
  EXPECT_FALSE(bus().DnFlag);
}

TEST_F(PriceTransfer, PricesThatDoNotFitFailWithoutTouchingTheLink) {
  // The price is rounded to hundredths before it is judged.
  for (double price : {-0.01, -0.006, 42949672.96, std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(api::SendPrice(sensor, price), 0) << price;
  }
  EXPECT_TRUE(line.Events().empty());
  EXPECT_TRUE(link().Active());

  EXPECT_EQ(api::SendPrice(sensor, 42949672.95), -1);
  EXPECT_EQ(line.Writes().at(2), PriceDataFrame(0x77, 0xF9, 0, {0xFF, 0xFF, 0xFF, 0xFF}));
  line.ClearEvents();
  EXPECT_EQ(api::SendPrice(sensor, -0.004), -1);
  EXPECT_EQ(line.Writes().at(2), PriceDataFrame(0x77, 0xF9, 0, {0, 0, 0, 0}));
}

TEST_F(PriceTransfer, DownLoadPluWritesEverySlotFromTheFile) {
  Write(File("plu.txt"), "12.5\tkg\r\n3\txyz\r\n");
  EXPECT_EQ(api::DownLoadPlu(sensor, File("plu.txt").c_str()), 1);
  std::vector<Bytes> expected = {PluSlotFrame(1, {0x00, 0x00, 0x04, 0xE2}),
                                 PluSlotFrame(2, {0x00, 0x00, 0x01, 0x2C})};
  for (size_t slot = 3; slot <= 70; ++slot)
    expected.push_back(PluSlotFrame(slot, {0, 0, 0, 0}));
  EXPECT_EQ(SlotWrites(), expected);
  EXPECT_EQ(SlotWrites().back()[2] << 8 | SlotWrites().back()[3], 0x01F4);
  EXPECT_EQ(line.Writes().front(), Start);
  EXPECT_EQ(line.Writes().back(), Close);
  ExpectLinkOpenAgain();
}

TEST_F(PriceTransfer, FilesThatAreNoPluTableFailWithNothingSent) {
  std::string tooLong;
  for (int i = 0; i < 71; ++i)
    tooLong += "1\tKG\r\n";
  Write(File("long.txt"), tooLong);
  Write(File("notab.txt"), "12.5\tKG\r\n3 KG\r\n");
  Write(File("negative.txt"), "-1\tKG\r\n");
  Write(File("toolarge.txt"), "167772.16\tKG\r\n");
  for (const char *name : {"long.txt", "notab.txt", "negative.txt", "toolarge.txt", "missing.txt"})
    EXPECT_EQ(api::DownLoadPlu(sensor, File(name).c_str()), 0) << name;
  EXPECT_EQ(api::DownLoadPlu(sensor, nullptr), 0);
  EXPECT_EQ(api::DownLoadPlu(sensor, ""), 0);
  EXPECT_TRUE(line.Events().empty());
  EXPECT_TRUE(link().Active());
}

TEST_F(PriceTransfer, UpLoadPluWritesTheTableThatDownLoadPluWritesBack) {
  for (size_t slot = 1; slot <= 70; ++slot) {
    const uint8_t code = static_cast<uint8_t>(slot % 6);
    // Prices up to the field's top, its top bit set included.
    const uint32_t price = static_cast<uint32_t>(slot * 239671);
    scale.SetSlot(slot, {code, static_cast<uint8_t>(price >> 16), static_cast<uint8_t>(price >> 8),
                         static_cast<uint8_t>(price)});
  }
  std::array<std::array<uint8_t, 4>, 70> table;
  for (size_t slot = 1; slot <= 70; ++slot)
    table[slot - 1] = scale.Slot(slot);

  EXPECT_EQ(api::UpLoadPlu(sensor, File("plu.txt").c_str()), 1);
  ExpectLinkOpenAgain();
  const std::string text = Content(File("plu.txt"));
  EXPECT_EQ(text.substr(0, 24), "2396.71\t500G\r\n4793.42\t60");
  EXPECT_NE(text.find("\r\n167769.7\tLB\r\n"), std::string::npos); // slot 70: FF FF 0A, top bit set
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 70);
  std::vector<Bytes> requests;
  for (const Bytes &write : line.Writes())
    if (write.at(0) == 0x55)
      requests.push_back(write);
  ASSERT_EQ(requests.size(), 70u);
  EXPECT_EQ(requests[69], WithPriceCheck({0x55, 0xF9, 0x01, 0xF4, 0x04}));

  // Written back: the same 70 slots.
  for (size_t slot = 1; slot <= 70; ++slot)
    scale.SetSlot(slot, {0, 0, 0, 0});
  line.ClearEvents();
  EXPECT_EQ(api::DownLoadPlu(sensor, File("plu.txt").c_str()), 1);
  for (size_t slot = 1; slot <= 70; ++slot)
    EXPECT_EQ(scale.Slot(slot), table[slot - 1]) << slot;
}

TEST_F(PriceTransfer, SilentScaleFailsEachTransferAndLeavesThePortFree) {
  scale.Silent = true;
  Write(File("old.txt"), "old\r\n");
  Write(File("plu.txt"), "1\tKG\r\n");
  EXPECT_EQ(api::SendPrice(sensor, 1), 0);
  ExpectPortFree();
  EXPECT_EQ(line.Writes(), std::vector<Bytes>(5, Start));
  EXPECT_EQ(api::DownLoadPlu(sensor, File("plu.txt").c_str()), 0);
  ExpectPortFree();
  EXPECT_EQ(api::UpLoadPlu(sensor, File("old.txt").c_str()), 0);
  ExpectPortFree();
  EXPECT_EQ(Content(File("old.txt")), "old\r\n");

  // The host opens the link again at once.
  link().Open();
  EXPECT_TRUE(link().Active());
  EXPECT_TRUE(line.IsOpen());
}

TEST_F(PriceTransfer, UploadThatStopsHalfwayLeavesTheOldFile) {
  Write(File("plu.txt"), "old\r\n");
  int requests = 0;
  line.SetResponder([&requests](TFakeSerialLine &l, const TWrittenBlock &block) {
    if (block.Bytes[0] != 0x55)
      l.Send({0x06}, 5);
    else if (++requests <= 30)
      l.Send(PriceUploadReply(block.Bytes, {0, 0, 0, 1}), 5);
  });
  EXPECT_EQ(api::UpLoadPlu(sensor, File("plu.txt").c_str()), 0);
  EXPECT_EQ(Content(File("plu.txt")), "old\r\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"plu.txt"});
  ExpectPortFree();
}

TEST_F(PriceTransfer, UploadWhoseClosingIsNotAcknowledgedLeavesTheOldFile) {
  Write(File("plu.txt"), "old\r\n");
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &block) {
    if (block.Bytes[0] == 0x55)
      l.Send(PriceUploadReply(block.Bytes, {0, 0, 0, 1}), 5);
    else if (block.Bytes[0] != 0x33)
      l.Send({0x06}, 5);
  });
  EXPECT_EQ(api::UpLoadPlu(sensor, File("plu.txt").c_str()), 0);
  EXPECT_EQ(line.Writes().back(), Close);
  EXPECT_EQ(Content(File("plu.txt")), "old\r\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"plu.txt"});
  ExpectPortFree();
}

TEST_F(PriceTransfer, UploadOntoADestinationThatCannotBeReplacedFailsWithNothingSent) {
  Write(File("readonly.txt"), "old\r\n");
  std::filesystem::permissions(File("readonly.txt"), std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::group_read |
                                                         std::filesystem::perms::others_read);
  std::filesystem::create_directory(folder / "folder.txt");
  Write(File("file"), "a file\r\n");
  const std::vector<std::filesystem::path> destinations = {folder / "readonly.txt", folder / "folder.txt",
                                                           folder / "missing" / "plu.txt",
                                                           folder / "file" / "plu.txt"};
  for (const std::filesystem::path &destination : destinations) {
    SCOPED_TRACE(destination.string());
    EXPECT_EQ(api::UpLoadPlu(sensor, destination.string().c_str()), 0);
    EXPECT_TRUE(line.Events().empty());
    EXPECT_TRUE(link().Active());
    EXPECT_EQ(Names(), (std::vector<std::string>{"file", "folder.txt", "readonly.txt"}));
  }
  EXPECT_EQ(Content(File("readonly.txt")), "old\r\n");
  EXPECT_EQ(std::filesystem::status(File("readonly.txt")).permissions() & std::filesystem::perms::owner_write,
            std::filesystem::perms::none);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.txt"));
  EXPECT_EQ(Content(File("file")), "a file\r\n");
  std::filesystem::permissions(File("readonly.txt"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

TEST_F(PriceTransfer, RaisedErrorsGiveThePortBackToTheLink) {
  // The port cannot be opened: the link's open is tried again all the same.
  line.FailStart("Error opening serial port");
  EXPECT_EQ(api::SendPrice(sensor, 1), 0);
  const std::vector<TSerialEvent> failed = line.EventsOf(StartFailed);
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[0].Settings.BaudRate, 9600u);
  EXPECT_EQ(failed[1].Settings.BaudRate, 19200u);
  EXPECT_FALSE(bus().isActive());
}

TEST_F(PriceTransfer, WithoutABusEveryPriceExportFailsCleanly) {
  FreePriceBus();
  Write(File("plu.txt"), "1\tKG\r\n");
  api::SetRecvHandle(0x1234);
  EXPECT_EQ(api::SendPrice(sensor, 1), 0);
  EXPECT_EQ(api::DownLoadPlu(sensor, File("plu.txt").c_str()), 0);
  EXPECT_EQ(api::UpLoadPlu(sensor, File("plu.txt").c_str()), 0);
  EXPECT_TRUE(line.Events().empty());
  EXPECT_TRUE(link().Active());
  CreatePriceBus(platform); // for the fixture's end
}

TEST_F(PriceTransfer, ReportsGoToTheWindowOfTheCurrentBusOnly) {
  api::SetRecvHandle(0xA);
  const TPelqoencode *firstCodec = GlobalEncoding.get();
  CreatePriceBus(platform);
  EXPECT_NE(GlobalEncoding.get(), firstCodec);
  api::SetRecvHandle(0xB);
  scale.Before[0x11] = {0x53, 0x05, 0x04, 0xD2};
  EXPECT_EQ(api::SendPrice(sensor, 12.5), -1);
  ASSERT_EQ(platform.WindowTexts().size(), 1u);
  EXPECT_EQ(platform.WindowTexts()[0].Window, 0xBu);
  EXPECT_EQ(platform.WindowTexts()[0].Message, 1024u);
  EXPECT_EQ(platform.WindowTexts()[0].Text, u"1:5:1234:KG:0");
}

TEST_F(PriceTransfer, TransferStartedDuringAnotherFailsAtOnce) {
  // As the exports run them: claimed first, then the transfer.
  auto sendPrice = [this](double price) {
    return api::RunOneTransfer(int16_t{0}, [&] { return api::SendPrice(sensor, price); });
  };
  auto upLoadPlu = [this] {
    return api::RunOneTransfer(uint8_t{0}, [&] { return api::UpLoadPlu(sensor, File("plu.txt").c_str()); });
  };
  std::vector<int> nested;
  bus().OnShowWeight = [&](int32_t, int32_t, double, const std::u16string &, const std::u16string &) {
    // From the window procedure, and from another thread.
    nested.push_back(sendPrice(1));
    std::thread other([&] { nested.push_back(upLoadPlu()); });
    other.join();
  };
  scale.Before[0x11] = {0x53, 0x05, 0x04, 0xD2};
  EXPECT_EQ(sendPrice(12.5), -1);
  EXPECT_EQ(nested, (std::vector<int>{0, 0}));
  EXPECT_EQ(line.Writes().size(), 4u);
  EXPECT_TRUE(Names().empty());

  // Once it has ended, the next transfer runs.
  bus().OnShowWeight = nullptr;
  EXPECT_EQ(sendPrice(1), -1);
}

TEST_F(PriceTransfer, UploadLeavesTheHostsFilesBesideTheDestinationAlone) {
  // A file of the host's under the name that the new table once had.
  Write(File("plu.txt.~tmp"), "the host's\r\n");
  for (const bool closingAcknowledged : {false, true}) {
    SCOPED_TRACE(closingAcknowledged);
    Write(File("plu.txt"), "old\r\n");
    line.ClearEvents();
    line.SetResponder([closingAcknowledged](TFakeSerialLine &l, const TWrittenBlock &block) {
      if (block.Bytes[0] == 0x55)
        l.Send(PriceUploadReply(block.Bytes, {0, 0, 0, 1}), 5);
      else if (block.Bytes[0] != 0x33 || closingAcknowledged)
        l.Send({0x06}, 5);
    });
    EXPECT_EQ(api::UpLoadPlu(sensor, File("plu.txt").c_str()), closingAcknowledged ? 1 : 0);
    EXPECT_EQ(Content(File("plu.txt")).substr(0, 4), closingAcknowledged ? "0.01" : "old\r");
    EXPECT_EQ(Content(File("plu.txt.~tmp")), "the host's\r\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"plu.txt", "plu.txt.~tmp"}));
    link().Open();
  }
}

TEST_F(PriceTransfer, RelativeDestinationStaysInTheFolderWhereItWasNamed) {
  const std::filesystem::path started = std::filesystem::current_path();
  const TScopeExit back([&started] { std::filesystem::current_path(started); });
  std::filesystem::create_directory(folder / "other");
  std::filesystem::current_path(folder);
  Write(File("plu.txt"), "old\r\n");
  // The host's window procedure changes the current folder while the
  // transfer waits (as a file dialog does).
  scale.Before[0x11] = {0x53, 0x05, 0x04, 0xD2};
  bus().OnShowWeight = [this](int32_t, int32_t, double, const std::u16string &, const std::u16string &) {
    std::filesystem::current_path(folder / "other");
  };
  scale.SetSlot(1, {0, 0, 0x04, 0xE2});
  EXPECT_EQ(api::UpLoadPlu(sensor, "plu.txt"), 1);
  EXPECT_EQ(Content(File("plu.txt")).substr(0, 8), "12.5\tKG\r");
  EXPECT_EQ(Names(), (std::vector<std::string>{"other", "plu.txt"}));
  EXPECT_TRUE(std::filesystem::is_empty(folder / "other"));
}

TEST_F(PriceTransfer, DestinationThatTheHostHoldsOpenIsJudgedBeforeAnythingIsSent) {
  Write(File("plu.txt"), "old\r\n");
  // The host's own fopen(name, "rb"), left open: read and write sharing,
  // no delete sharing on Windows.
  std::FILE *held = std::fopen(File("plu.txt").c_str(), "rb");
  ASSERT_NE(held, nullptr);
  const uint8_t result = api::UpLoadPlu(sensor, File("plu.txt").c_str());
  std::fclose(held);
#ifdef _WIN32
  // The rename would fail: the call fails at once, nothing sent.
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(line.Events().empty());
  EXPECT_TRUE(link().Active());
  EXPECT_EQ(Content(File("plu.txt")), "old\r\n");
#else
  // A rename replaces an open file here.
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Content(File("plu.txt")).substr(0, 4), "0\tKG");
#endif
  EXPECT_EQ(Names(), std::vector<std::string>{"plu.txt"});
}

TEST_F(PriceTransfer, DownloadCalledDuringATransferIsRefusedAndReported) {
  ProgressReports().clear();
  bool downloadRan = false;
  auto download = [&downloadRan] {
    api::RunOneDownload(&RecordProgress, [&downloadRan] { downloadRan = true; });
  };
  bus().OnShowWeight = [&](int32_t, int32_t, double, const std::u16string &, const std::u16string &) {
    // From the window procedure, and from another thread.
    download();
    std::thread other(download);
    other.join();
  };
  scale.Before[0x11] = {0x53, 0x05, 0x04, 0xD2};
  EXPECT_EQ(api::RunOneTransfer(int16_t{0}, [this] { return api::SendPrice(sensor, 12.5); }), -1);
  EXPECT_FALSE(downloadRan);
  EXPECT_EQ(ProgressReports(), std::vector<TProgressReport>(2, {0, 0, 0, "Download Program fail"}));
  EXPECT_EQ(line.Writes().size(), 4u);
  ExpectLinkOpenAgain();
}

} // namespace
} // namespace pondrex::test
