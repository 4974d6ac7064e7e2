// The download driver on the fake platform: the serial sequence against a
// fake boot loader (its order, timing, rates, packets and reports, every
// failure and the restart after a failed first block), the USB printer
// mode, and the datagram sequence.
#include "TUProgramme.h"
#include "FakeBootLoader.h"
#include "FileBytes.h"
#include "FirmwareImage.h"
#include "ScratchFolder.h"
#include "TFakePlatform.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pondrex::test {
namespace {

const TDateTimeParts TestNow = {2026, 12, 8, 18, 46, 21, 0};

struct TReport {
  std::string Text;
  int32_t Total, Current, Status;
  bool operator==(const TReport &) const = default;
};

void PrintTo(const TReport &r, std::ostream *out) {
  *out << "{\"" << r.Text << "\", " << r.Total << ", " << r.Current << ", " << r.Status << "}";
}

std::string Narrow(const std::u16string &text) {
  return std::string(text.begin(), text.end());
}

Bytes Hk32Image(size_t size) {
  Bytes hk = CheckedPart(size, 0x55);
  const std::string board = "HK32F030C8";
  std::copy(board.begin(), board.end(), hk.begin() + 4096);
  return hk;
}

class UProgramme : public ::testing::Test {
protected:
  void SetUp() override {
    driver.Onstatusevent = [this](TUProgramme &, TUProgrammeEventAge &age) {
      reports.push_back({Narrow(age.Message()), age.TotalNo(), age.CurNo(), age.Status()});
    };
    // As the front end sets it up.
    driver.SetComMode(TCommunicationMode::cmCOM);
    driver.SetCommName(u"COM7");
    driver.SetRetrycount(5);
    driver.SetRetryInterval(1500);
  }

  void Use(const Bytes &image) {
    const std::filesystem::path path = folder / "image.bin";
    ASSERT_TRUE(WriteFileBytes(path, image));
    driver.SetFileName(path.u16string());
  }
  // Open, Execute, Close, as the front end runs it.
  void Run() {
    driver.Open();
    try {
      driver.Execute();
    } catch (...) {
      driver.Close();
      throw;
    }
    driver.Close();
  }
  // "Download Program... " for blocks 1 to count of total.
  static std::vector<TReport> Progress(int32_t count, int32_t total = 0) {
    std::vector<TReport> expected;
    for (int32_t i = 1; i <= count; ++i)
      expected.push_back({"Download Program... ", total == 0 ? count : total, i, 2});
    return expected;
  }
  std::vector<std::string> Kinds() const {
    std::vector<std::string> kinds;
    for (const TBootEntry &entry : boot.Log()) {
      if (entry.Kind == "frame") {
        static const char *const names[] = {"connect", "disconnect", "status", "check",
                                            "start",   "end",        "block",  "other"};
        kinds.push_back(names[static_cast<int>(TFakeBootLoader::RequestOf(entry.Bytes))]);
      } else {
        kinds.push_back(entry.Kind);
      }
    }
    return kinds;
  }

  TFakePlatform platform;
  TLinkProcessFlags flags;
  TScratchFolder folder;
  TFakeSerialLine &line = platform.Line(u"COM7");
  TFakeBootLoader boot{line};
  TUProgramme driver{platform, flags, folder / "DEBUG.LOG", [] { return TestNow; }};
  std::vector<TReport> reports;
  const Bytes image = ProgramPart(5, 0x0A0B, 0x44);
};

TEST_F(UProgramme, ConstructedInactiveAndEachBusLivesFromOpenToClose) {
  TUProgramme fresh(platform, flags, folder / "x.log");
  EXPECT_FALSE(fresh.Active());
  EXPECT_EQ(fresh.ComMode(), TCommunicationMode::cmUDP);
  EXPECT_EQ(fresh.Retrycount(), 0);
  EXPECT_EQ(fresh.RetryInterval(), 0);
  EXPECT_EQ(fresh.Bus(), nullptr);
  // Where no port is used, the bus keeps the download's own retries.
  fresh.SetComMode(TCommunicationMode::cmUSBPRN);
  flags.UsbScaleFound = 1;
  fresh.Open();
  ASSERT_NE(fresh.Bus(), nullptr);
  EXPECT_EQ(fresh.Bus()->RetryCount(), 6);
  EXPECT_EQ(fresh.Bus()->RetryInterval(), 800);
  fresh.Close();
  EXPECT_EQ(fresh.Bus(), nullptr);
}

TEST_F(UProgramme, SerialSequenceInOrderWithItsTimesRatesAndPackets) {
  Use(image);
  Run();
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"raw", "raw", "burst", "burst", "connect", "status", "start",
                                               "burst", "block", "block", "block", "block", "block", "end"}));
  const std::vector<TBootEntry> &log = boot.Log();
  EXPECT_EQ(log[0].Bytes, (Bytes{'f', 'o', 'r', 'c', 'e', ' ', 'u', 'p', 'd', 'a', 't', 'e'}));
  EXPECT_EQ(log[1].Tick - log[0].Tick, 500u);
  EXPECT_GE(log[2].Tick - log[1].Tick, 2000u);
  EXPECT_GE(log[3].Tick - log[2].Tick, 1000u);
  EXPECT_LT(log[3].Tick - log[2].Tick, 1100u);
  const std::vector<uint32_t> rates = {9600, 9600, 4800, 4800, 9600, 9600, 9600, 4800};
  for (size_t i = 0; i < rates.size(); ++i)
    EXPECT_EQ(log[i].Rate, rates[i]) << "entry " << i;
  EXPECT_GE(log[8].Tick - log[7].Tick, 350u);

  EXPECT_EQ(log[4].Bytes,
            StampedPacket(14, 1, 0, {0x34, 0x12, 0, 0, 0x26, 0x12, 0x08, 0x18, 0x46, 0x21, 0, 0}));
  EXPECT_EQ(log[6].Bytes, StampedPacket(15, 0, 0, {0x0B, 0x0A}));
  for (int i = 0; i < 5; ++i) {
    const Bytes data(image.begin() + 4096 + 256 * i, image.begin() + 4096 + 256 * (i + 1));
    EXPECT_EQ(log[8 + i].Bytes, StampedPacket(15, static_cast<uint8_t>(16 + i), 0, data)) << "block " << i;
  }
  const uint16_t sum = Sum16(image);
  EXPECT_EQ(log[13].Bytes,
            StampedPacket(15, 1, 0, {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)}));

  std::vector<TReport> expected = Progress(5);
  expected.push_back({"Download Program complete", 5, 5, 1});
  EXPECT_EQ(reports, expected);
  EXPECT_FALSE(line.IsOpen());
  EXPECT_FALSE(driver.Active());
  EXPECT_TRUE(std::filesystem::exists(folder / "DEBUG.LOG"));
}

TEST_F(UProgramme, ReportsOfTheStepThatFailsAndNothingAfterIt) {
  struct TCase {
    const char *name;
    TBootRequest request;
    std::vector<TBootReply> replies;
    std::vector<TReport> expected;
    std::string last; // the last request the boot loader saw
  };
  const int32_t size = static_cast<int32_t>(image.size());
  const TBootReply ack = TBootReply::Ack();
  std::vector<TReport> block3 = Progress(3, 5);
  block3.push_back({"Download Program fail", 5, 3, 0});
  std::vector<TReport> atEnd = Progress(5);
  atEnd.push_back({"Disconnect fail", 5, 0, 0});
  const std::vector<TCase> cases = {
      {"connect refused",
       TBootRequest::Connect,
       {TBootReply::Refuse()},
       {{"Connection fail", size, 0, 0}},
       "connect"},
      {"status silent",
       TBootRequest::Status,
       {TBootReply::Silent()},
       {{"Connection fail", size, 0, 0}},
       "status"},
      {"start refused",
       TBootRequest::Start,
       {TBootReply::Refuse()},
       {{"Connection fail", size, 0, 0}},
       "start"},
      {"silent after block 2", TBootRequest::Block, {ack, ack, TBootReply::Silent()}, block3, "block"},
      {"end silent", TBootRequest::End, {TBootReply::Silent()}, atEnd, "end"},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    boot.On(c.request, c.replies);
    boot.ClearLog();
    reports.clear();
    Use(image);
    Run();
    EXPECT_EQ(reports, c.expected);
    EXPECT_EQ(Kinds().back(), c.last);
    EXPECT_FALSE(line.IsOpen());
    boot.Default(c.request);
  }
}

TEST_F(UProgramme, ASilentBlockIsSentRetryCountPlusOneTimesEachWaitingTheInterval) {
  boot.On(TBootRequest::Block, {TBootReply::Ack(), TBootReply::Silent()});
  Use(image);
  driver.Open();
  const uint32_t before = platform.TickCount();
  driver.Execute();
  EXPECT_EQ(boot.Packets(TBootRequest::Block).size(), 1u + 6u);
  EXPECT_GE(platform.TickCount() - before, 6u * 1500u);
  EXPECT_EQ(reports.back(), (TReport{"Download Program fail", 5, 2, 0}));
}

TEST_F(UProgramme, WakeUpInterruptedFails) {
  Use(image);
  driver.Open();
  platform.Post([this] { driver.SetTerminate(true); }, 3000);
  driver.Execute();
  EXPECT_EQ(reports, (std::vector<TReport>{{"Wake up fail", static_cast<int32_t>(image.size()), 0, 0}}));
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"raw", "raw", "burst"}));
}

TEST_F(UProgramme, FirstBlockFailingStartsTheSequenceOnceMoreOnAReopenedPort) {
  boot.On(TBootRequest::Block,
          {TBootReply::Silent(), TBootReply::Silent(), TBootReply::Silent(), TBootReply::Silent(),
           TBootReply::Silent(), TBootReply::Silent(), TBootReply::Ack()});
  Use(image);
  Run();
  std::vector<TReport> expected = {{"Download Program... ", 5, 1, 2}};
  const std::vector<TReport> all = Progress(5);
  expected.insert(expected.end(), all.begin(), all.end());
  expected.push_back({"Download Program complete", 5, 5, 1});
  EXPECT_EQ(reports, expected);
  EXPECT_EQ(line.EventsOf(TSerialEventKind::Started).size(), 2u);
  EXPECT_EQ(boot.Packets(TBootRequest::Connect).size(), 2u);

  // A first block that never gets through: two sequences, then the failure.
  boot.On(TBootRequest::Block, {TBootReply::Silent()});
  boot.ClearLog();
  reports.clear();
  Run();
  EXPECT_EQ(reports, (std::vector<TReport>{{"Download Program... ", 5, 1, 2},
                                           {"Download Program... ", 5, 1, 2},
                                           {"Download Program fail", 5, 1, 0}}));
  EXPECT_EQ(boot.Packets(TBootRequest::Connect).size(), 2u);
  EXPECT_EQ(boot.Packets(TBootRequest::Block).size(), 12u);
  EXPECT_FALSE(line.IsOpen());
}

TEST_F(UProgramme, RestartOnAPortThatCannotBeOpenedAgainReportsTheFailure) {
  boot.On(TBootRequest::Block, {TBootReply::Silent()});
  Use(image);
  driver.Open();
  line.FailStart("Error opening serial port");
  driver.Execute();
  EXPECT_EQ(reports.back(), (TReport{"Download Program fail", 5, 1, 0}));
  EXPECT_EQ(platform.MessageBoxes().size(), 1u);
}

TEST_F(UProgramme, ImagesThatAreNotSent) {
  struct TCase {
    const char *name;
    Bytes image;
    TReport report;
  };
  Bytes odd = image;
  odd.push_back(0);
  // One block more than the 16-bit bus address reaches: block 65520 would
  // go out at address 0, onto the start command.
  const Bytes tooMany(4096 + 65521 * 256, 0);
  const Bytes hk32TooMany = Hk32Image(4096 + 65521 * 256);
  const std::vector<TCase> cases = {
      {"size not a multiple of 256", odd, {"Not a valid file!", static_cast<int32_t>(odd.size()), 0, 0}},
      {"empty file", {}, {"Not a valid file!", 0, 0, 0}},
      {"65521 blocks", tooMany, {"Not a valid file!", static_cast<int32_t>(tooMany.size()), 0, 0}},
      {"HK32F030C8, 65521 blocks",
       hk32TooMany,
       {"Not a valid file!", static_cast<int32_t>(hk32TooMany.size()), 0, 0}},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    reports.clear();
    Use(c.image);
    Run();
    EXPECT_EQ(reports, std::vector<TReport>{c.report});
    EXPECT_TRUE(line.Writes().empty());
  }

  driver.SetFileName((folder / "missing.bin").u16string());
  EXPECT_THROW(Run(), EFirmwareFileError);
  EXPECT_FALSE(line.IsOpen());
}

TEST_F(UProgramme, ImageOfAsManyBlocksAsTheAddressReachesIsSent) {
  driver.Onstatusevent = [this](TUProgramme &sender, TUProgrammeEventAge &age) {
    reports.push_back({Narrow(age.Message()), age.TotalNo(), age.CurNo(), age.Status()});
    sender.SetTerminate(true);
  };
  Use(Bytes(4096 + 65520 * 256, 0));
  Run();
  EXPECT_EQ(reports, (std::vector<TReport>{{"Download Program... ", 65520, 1, 2},
                                           {"Download Program complete", 65520, 65520, 1}}));
  EXPECT_EQ(boot.Packets(TBootRequest::Block).size(), 1u);
}

TEST_F(UProgramme, PortThatDidNotOpenIsReportedAndNothingIsWritten) {
  line.FailStart("Error opening serial port");
  Use(image);
  Run();
  EXPECT_FALSE(driver.Active());
  EXPECT_EQ(reports, (std::vector<TReport>{{"Open COM7fail!", 0, 0, 0}}));
  ASSERT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.MessageBoxes()[0].Text, u"Error opening COM7!\r\nplease select other ports.");
}

// An image for the HK32F030C8 board: any size, no status upload, and a
// last block that carries the previous block's bytes after the file's end.
TEST_F(UProgramme, Hk32ImageOfAnySizeWithoutStatusUpload) {
  const Bytes hk = Hk32Image(4096 + 256 + 100);
  Use(hk);
  Run();
  EXPECT_TRUE(boot.Packets(TBootRequest::Status).empty());
  const std::vector<Bytes> blocks = boot.Packets(TBootRequest::Block);
  ASSERT_EQ(blocks.size(), 2u);
  Bytes last(hk.begin() + 4096 + 256, hk.end());
  last.insert(last.end(), hk.begin() + 4096 + 100, hk.begin() + 4096 + 256);
  EXPECT_EQ(blocks[1], StampedPacket(15, 17, 0, last));
  EXPECT_EQ(reports.back(), (TReport{"Download Program complete", 2, 2, 1}));
}

TEST_F(UProgramme, Hk32ImageOnAPortThatDidNotOpenEndsAtOnce) {
  line.FailStart("Error opening serial port");
  Use(Hk32Image(4096 + 512));
  const uint32_t before = platform.TickCount();
  Run();
  EXPECT_EQ(reports, (std::vector<TReport>{{"Wake up fail", 4096 + 512, 0, 0}}));
  EXPECT_LT(platform.TickCount() - before, 3000u);
}

TEST_F(UProgramme, ImageWithoutBlocksGoesFromPulseToEnd) {
  Use(CheckedPart(4096, 1));
  Run();
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"raw", "raw", "burst", "burst", "connect", "status", "start",
                                               "burst", "end"}));
  EXPECT_EQ(reports, (std::vector<TReport>{{"Download Program complete", 0, 0, 1}}));
}

TEST_F(UProgramme, TerminateSkipsTheRemainingBlocksAndStillEnds) {
  driver.Onstatusevent = [this](TUProgramme &sender, TUProgrammeEventAge &age) {
    reports.push_back({Narrow(age.Message()), age.TotalNo(), age.CurNo(), age.Status()});
    if (age.CurNo() == 2)
      sender.SetTerminate(true);
  };
  Use(image);
  Run();
  EXPECT_EQ(boot.Packets(TBootRequest::Block).size(), 2u);
  EXPECT_EQ(Kinds().back(), "end");
  std::vector<TReport> expected = Progress(2, 5);
  expected.push_back({"Download Program complete", 5, 5, 1});
  EXPECT_EQ(reports, expected);
}

TEST_F(UProgramme, UsbPrinterPortSkipsTheBurstsAndEndsWaiting) {
  driver.SetComMode(TCommunicationMode::cmUSBPRN);
  boot.On(TBootRequest::Start, {TBootReply::Refuse()});
  Use(image);
  Run();
  EXPECT_EQ(Kinds(),
            (std::vector<std::string>{"connect", "status", "start", "start", "start", "start", "start",
                                      "start", "block", "block", "block", "block", "block", "end"}));
  EXPECT_EQ(reports.back(), (TReport{"waiting...", 5, 0, 3}));
  EXPECT_FALSE(line.IsOpen());
}

TEST_F(UProgramme, UsbScaleFoundOpensNoPortAndEndsAtOnce) {
  driver.SetComMode(TCommunicationMode::cmUSBPRN);
  flags.UsbScaleFound = 1;
  Use(image);
  const uint32_t before = platform.TickCount();
  Run();
  EXPECT_TRUE(line.Events().empty());
  EXPECT_EQ(reports, (std::vector<TReport>{{"Connection fail", static_cast<int32_t>(image.size()), 0, 0}}));
  EXPECT_LT(platform.TickCount() - before, 100u);
}

TEST_F(UProgramme, ConnectionedConnectsWithoutDownloading) {
  EXPECT_FALSE(driver.Connectioned());
  driver.Open();
  EXPECT_TRUE(driver.Connectioned());
  EXPECT_EQ(Kinds(), (std::vector<std::string>{"connect"}));
  boot.On(TBootRequest::Connect, {TBootReply::Refuse()});
  EXPECT_FALSE(driver.Connectioned());
  EXPECT_FALSE(line.IsOpen());
  EXPECT_EQ(driver.Bus()->RetryCount(), 3);
}

// --- Datagrams -------------------------------------------------------------

class UProgrammeUdp : public UProgramme {
protected:
  void SetUp() override {
    UProgramme::SetUp();
    driver.SetComMode(TCommunicationMode::cmUDP);
    driver.SetHost(u"127.0.0.1");
    driver.SetPort(5003);
  }
  void AnswerBlocks(std::function<bool(uint16_t block)> acknowledge) {
    platform.Udp().SetResponder([acknowledge](TFakeUdpPeer &peer, const TDatagram &sent) {
      if (acknowledge(static_cast<uint16_t>(sent.Bytes[1] | sent.Bytes[2] << 8)))
        peer.Send({0x02}, 3);
    });
  }
  std::vector<uint16_t> SentBlocks() {
    std::vector<uint16_t> blocks;
    for (const TDatagram &datagram : platform.Udp().Sent())
      blocks.push_back(static_cast<uint16_t>(datagram.Bytes[1] | datagram.Bytes[2] << 8));
    return blocks;
  }
};

TEST_F(UProgrammeUdp, StartBlockThenTheImageFrom8192ThenTheReset) {
  AnswerBlocks([](uint16_t) { return true; });
  Bytes udpImage = CheckedPart(8192 + 512, 3);
  udpImage[udpImage.size() - 2] = 0;
  udpImage[udpImage.size() - 1] = 0;
  Use(udpImage);
  Run();
  EXPECT_EQ(SentBlocks(), (std::vector<uint16_t>{0, 32, 33, 1}));
  const std::vector<TDatagram> &sent = platform.Udp().Sent();
  Bytes start(259, 0);
  start[0] = 15;
  start[3] = 0x66;
  start[4] = 0xFE;
  EXPECT_EQ(sent[0].Bytes, start);
  EXPECT_EQ(sent[0].Host, u"127.0.0.1");
  EXPECT_EQ(sent[0].Port, 5003);
  // The last block carries the image's sum in its last two bytes.
  const uint16_t sum = Sum16(udpImage);
  EXPECT_EQ(sent[2].Bytes[257], static_cast<uint8_t>(sum));
  EXPECT_EQ(sent[2].Bytes[258], static_cast<uint8_t>(sum >> 8));
  EXPECT_EQ(Bytes(sent[1].Bytes.begin() + 3, sent[1].Bytes.end()),
            Bytes(udpImage.begin() + 8192, udpImage.begin() + 8192 + 256));
  EXPECT_EQ(Bytes(sent[3].Bytes.begin() + 3, sent[3].Bytes.end()), Bytes(256, 0));
  EXPECT_EQ(reports, (std::vector<TReport>{{"Download Program... ", 34, 0, 2},
                                           {"Download Program... ", 34, 33, 2},
                                           {"Download Program... ", 34, 34, 2},
                                           {"Download Program complete", 34, 34, 1}}));
}

TEST_F(UProgrammeUdp, FailingFirstProgramBlockRestartsOnceThenFails) {
  AnswerBlocks([](uint16_t block) { return block != 32; });
  Use(CheckedPart(8192 + 512, 3));
  Run();
  EXPECT_EQ(SentBlocks(), (std::vector<uint16_t>{0, 32, 32, 32, 32, 0, 32, 32, 32, 32}));
  EXPECT_EQ(reports.back(), (TReport{"Download Program fail", 33, 0, 0}));
}

TEST_F(UProgrammeUdp, OneProgramBlockNeverAcknowledgedFails) {
  AnswerBlocks([](uint16_t block) { return block != 32; });
  for (const size_t size : {size_t{8192 + 1}, size_t{8192 + 256}}) {
    SCOPED_TRACE(size);
    reports.clear();
    const size_t before = SentBlocks().size();
    Use(CheckedPart(size, 3));
    Run();
    const std::vector<uint16_t> blocks = SentBlocks();
    EXPECT_EQ(std::vector<uint16_t>(blocks.begin() + static_cast<std::ptrdiff_t>(before), blocks.end()),
              (std::vector<uint16_t>{0, 32, 32, 32, 32, 0, 32, 32, 32, 32}));
    EXPECT_EQ(reports.back(), (TReport{"Download Program fail", static_cast<int32_t>(size / 256), 0, 0}));
  }
}

TEST_F(UProgrammeUdp, ImageBeyondTheBlockNumberIsNotSent) {
  AnswerBlocks([](uint16_t) { return true; });
  Use(Bytes(0x10000 * 256 + 1, 0));
  Run();
  EXPECT_TRUE(platform.Udp().Sent().empty());
  EXPECT_EQ(reports, (std::vector<TReport>{{"Not a valid file!", 0x10000, 0, 0}}));
}

TEST_F(UProgrammeUdp, NotActiveAndResetFailure) {
  driver.SetFileName((folder / "image.bin").u16string());
  driver.Execute();
  EXPECT_EQ(reports, (std::vector<TReport>{{"Open fail!", 0, 0, 0}}));

  reports.clear();
  AnswerBlocks([](uint16_t block) { return block != 1; });
  Use(CheckedPart(8192 + 256, 3));
  Run();
  EXPECT_EQ(reports[reports.size() - 2], (TReport{"Reset ECR fail", 33, 0, 0}));
  EXPECT_EQ(reports.back(), (TReport{"Download Program complete", 33, 33, 1}));
}

} // namespace
} // namespace pondrex::test
