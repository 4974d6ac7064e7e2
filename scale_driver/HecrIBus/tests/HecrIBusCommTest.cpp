// The firmware bus against a boot loader on the fake platform: the connect
// search, retries, broadcast, the status upload, the bursts, the port and
// its log, and waits that always end.
#include "ECommsError.h"
#include "FakeBootLoader.h"
#include "ScratchFolder.h"
#include "TFakePlatform.h"
#include "THecrIBusComm.h"

#include <gtest/gtest.h>

#include <fstream>

namespace pondrex::test {
namespace {

const TDateTimeParts TestNow = {2026, 12, 8, 18, 46, 21, 0};

class HecrIBusComm : public ::testing::Test {
protected:
  void SetUp() override {
    bus.SetCommName(u"COM4");
    bus.EnableComm(1);
    line.ClearEvents();
  }

  std::vector<uint32_t> WrittenRates() const {
    std::vector<uint32_t> rates;
    for (const TSerialEvent &event : line.EventsOf(TSerialEventKind::Written))
      rates.push_back(event.Settings.BaudRate);
    return rates;
  }
  size_t Sends() const { return line.Writes().size(); }

  TFakePlatform platform;
  TLinkProcessFlags flags;
  TScratchFolder folder;
  TFakeSerialLine &line = platform.Line(u"COM4");
  TFakeBootLoader boot{line};
  THecrIBusComm bus{platform, flags, folder / "DEBUG.LOG", [] { return TestNow; }};
};

TEST_F(HecrIBusComm, ConstructedWithItsDefaultsAndTheLineSettings) {
  EXPECT_EQ(bus.BaudRate(), TBaudRate::tbr9600);
  EXPECT_EQ(bus.RetryCount(), 6);
  EXPECT_EQ(bus.RetryInterval(), 800);
  EXPECT_EQ(bus.BroadCastInterval(), 200);
  EXPECT_FALSE(bus.BroadCast());
  EXPECT_TRUE(bus.isActive());
  const TCommSettings &settings = line.Settings();
  EXPECT_EQ(settings.BaudRate, 9600u);
  EXPECT_EQ(settings.DtrControl, TDtrControl::DtrDisable);
  EXPECT_FALSE(settings.Outx_XonXoffFlow);
  EXPECT_FALSE(settings.TxContinueOnXoff);
  EXPECT_EQ(settings.ReadIntervalTimeout, 1u);
}

TEST_F(HecrIBusComm, ConnectSearchesTheRatesAtMost21TimesAndStaysAtTheLastOne) {
  boot.On(TBootRequest::Connect, {TBootReply::Silent()});
  EXPECT_FALSE(bus.ConnectEcr(1234, true));
  EXPECT_TRUE(bus.Error);
  const std::vector<uint32_t> cycle = {19200, 38400, 57600, 115200, 9600};
  std::vector<uint32_t> expected = {9600, 9600};
  while (expected.size() < 21)
    expected.push_back(cycle[(expected.size() - 2) % cycle.size()]);
  EXPECT_EQ(WrittenRates(), expected);
  EXPECT_EQ(line.Settings().BaudRate, 115200u);
}

TEST_F(HecrIBusComm, ConnectPacketCarriesIdClockAndRateAndThePortMovesToThatRate) {
  bus.SetBaudRate(TBaudRate::tbr57600);
  boot.AnswerOnlyAt(38400);
  EXPECT_TRUE(bus.ConnectEcr(1234, true));
  EXPECT_EQ(WrittenRates(), (std::vector<uint32_t>{9600, 9600, 19200, 38400}));
  EXPECT_EQ(line.Settings().BaudRate, 57600u);

  const Bytes packet = boot.Packets(TBootRequest::Connect).back();
  const Bytes expected =
      StampedPacket(14, 1, 0, {0x34, 0x12, 0x00, 0x00, 0x26, 0x12, 0x08, 0x18, 0x46, 0x21, 3, 0});
  EXPECT_EQ(packet, expected);

  // Without a program to update, byte 14 is 1.
  EXPECT_TRUE(bus.ConnectEcr(1234, false));
  EXPECT_EQ(boot.Packets(TBootRequest::Connect).back()[14], 1);
}

TEST_F(HecrIBusComm, RefusedConnectEndsTheSearchOnlyWhenUpdating) {
  boot.On(TBootRequest::Connect, {TBootReply::Refuse()});
  EXPECT_FALSE(bus.ConnectEcr(1234, true));
  EXPECT_EQ(Sends(), 1u);

  line.ClearEvents();
  boot.On(TBootRequest::Connect, {TBootReply::Refuse(), TBootReply::Refuse(), TBootReply::Ack()});
  EXPECT_TRUE(bus.ConnectEcr(1234, false));
  EXPECT_EQ(Sends(), 3u);
}

TEST_F(HecrIBusComm, SendPackageSendsRetryCountPlusOneTimesAtMost) {
  struct TCase {
    TRetryCount retries;
    std::vector<TBootReply> replies;
    bool result;
    size_t sends;
  };
  const TBootReply silent = TBootReply::Silent();
  const std::vector<TCase> cases = {
      {0, {silent}, false, 1}, {0, {TBootReply::Ack()}, true, 1},
      {3, {silent}, false, 4}, {3, {silent, TBootReply::Refuse(), TBootReply::Ack()}, true, 3},
      {6, {silent}, false, 7},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(testing::Message() << "retries " << int{c.retries} << ", sends " << c.sends);
    line.ClearEvents();
    boot.On(TBootRequest::Start, c.replies);
    bus.SetRetryCount(c.retries);
    const uint32_t started = platform.TickCount();
    EXPECT_EQ(bus.StartCommand(0x0102), c.result);
    EXPECT_EQ(Sends(), c.sends);
    EXPECT_EQ(bus.Error, !c.result);
    if (!c.result) { // every silent attempt waits its interval
      EXPECT_GE(platform.TickCount() - started, c.sends * 800u);
    }
  }
  EXPECT_EQ(boot.Packets(TBootRequest::Start).back(), StampedPacket(15, 0, 0, {0x02, 0x01}));
}

TEST_F(HecrIBusComm, SilentWaitsBlockInsteadOfPolling) {
  boot.On(TBootRequest::End, {TBootReply::Silent()});
  bus.SetRetryCount(5);
  EXPECT_FALSE(bus.EndCommand(0xBEEF));
  EXPECT_EQ(Sends(), 6u);
  // Six waits of 800 ms each end with their timer, not after thousands of
  // empty passes.
  EXPECT_LT(platform.PumpCount(), 60u);
  EXPECT_EQ(boot.Packets(TBootRequest::End).back(), StampedPacket(15, 1, 0, {0xEF, 0xBE}));
}

TEST_F(HecrIBusComm, BroadcastTakesSilenceAsSuccessAndARefusalAsFailure) {
  bus.SetBroadCast(true);
  boot.On(TBootRequest::Block, {TBootReply::Silent()});
  EXPECT_TRUE(bus.DownloadData(15, 16));
  EXPECT_EQ(Sends(), 1u);
  boot.On(TBootRequest::Block, {TBootReply::Refuse()});
  EXPECT_FALSE(bus.DownloadData(15, 17));
  EXPECT_TRUE(bus.Error);
  EXPECT_EQ(Sends(), 2u);
  EXPECT_EQ(bus.BroadCastCount, 2);
}

TEST_F(HecrIBusComm, BroadcastConnectNamesEveryDeviceAndCheckComparesTheirCounts) {
  bus.SetBroadCast(true);
  bus.SetBroadCastScaleType(TBroadCastScaleType::tbs5120);
  bus.BroadCastScales[0].ID = 1234;
  bus.BroadCastScales[55].ID = 87654321;
  bus.BroadCastScales[0].CheckResult = 3;
  bus.BroadCastCount = 9;
  EXPECT_TRUE(bus.ConnectEcr(777, true));
  EXPECT_EQ(bus.BroadCastCount, 0);
  EXPECT_EQ(bus.BroadCastScales[0].CheckResult, 0);
  const Bytes packet = boot.Packets(TBootRequest::Connect).back();
  EXPECT_EQ(Bytes(packet.begin() + 3, packet.begin() + 7), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(packet[14], 0xA5);
  EXPECT_EQ(Bytes(packet.begin() + 35, packet.begin() + 39), (Bytes{0x34, 0x12, 0, 0}));
  EXPECT_EQ(Bytes(packet.begin() + 255, packet.begin() + 259), (Bytes{0x21, 0x43, 0x65, 0x87}));

  for (int i = 0; i < 3; ++i)
    bus.DownloadData(15, static_cast<uint16_t>(16 + i));
  // The first device got all three blocks, the last one two.
  boot.On(TBootRequest::CheckBroadCast,
          {TBootReply::WithData({0, 0, 0, 0, 3, 0}), TBootReply::WithData({0, 0, 0, 0, 2, 0})});
  bus.SetBroadCast(false);
  EXPECT_TRUE(bus.CheckBroadCast());
  EXPECT_EQ(bus.BroadCastScales[0].BlockCount, 3);
  EXPECT_EQ(bus.BroadCastScales[0].CheckResult, 0);
  EXPECT_EQ(bus.BroadCastScales[55].BlockCount, 2);
  EXPECT_EQ(bus.BroadCastScales[55].CheckResult, 3);
  const std::vector<Bytes> asked = boot.Packets(TBootRequest::CheckBroadCast);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(Bytes(asked[1].begin() + 3, asked[1].begin() + 7), (Bytes{0x21, 0x43, 0x65, 0x87}));

  EXPECT_TRUE(bus.CheckBroadCast(0));
  EXPECT_EQ(bus.BroadCastScales[0].CheckResult, 3); // the boot loader now answers 2
  EXPECT_TRUE(bus.CheckBroadCast(1));               // unused entry
  EXPECT_FALSE(bus.CheckBroadCast(56));
}

// A status block whose ID code begins with the given bytes.
Bytes StatusWithId(const Bytes &id) {
  Bytes block(256, 0);
  block[12] = 0x20; // PLUCount 32
  std::copy(id.begin(), id.end(), block.begin() + 16);
  return block;
}

TEST_F(HecrIBusComm, StatusGivesVzrDevicesPluCount360OnlyInSixteenBitCharacters) {
  boot.SetStatusBlock(StatusWithId({'V', 0, 'Z', 0, 'R', 0, '1', 0}));
  EXPECT_TRUE(bus.CheckStatus());
  EXPECT_EQ(bus.EcrStatus.PLUCount, 360);
  EXPECT_EQ(boot.Packets(TBootRequest::Status).back(), StampedPacket(14, 16, 0, {0, 0, 16}));

  boot.SetStatusBlock(StatusWithId({'V', 'Z', 'R', '1'}));
  EXPECT_TRUE(bus.CheckStatus());
  EXPECT_EQ(bus.EcrStatus.PLUCount, 32);
}

TEST_F(HecrIBusComm, UploadRetriesABadSumAndIgnoresAnswersToOtherRequests) {
  const Bytes block = StatusWithId({'V', 0, 'Z', 0, 'R', 0});
  Bytes otherAnswer = FrameOf(StampedPacket(14, 17, 0, block));
  boot.On(TBootRequest::Status,
          {TBootReply::BadSum(block), TBootReply::Raw(otherAnswer), TBootReply::WithData(block)});
  bus.SetRetryCount(2);
  EXPECT_TRUE(bus.CheckStatus());
  EXPECT_EQ(Sends(), 3u);
  EXPECT_EQ(bus.EcrStatus.PLUCount, 360);
  EXPECT_FALSE(bus.isErrorPackage);

  line.ClearEvents();
  boot.On(TBootRequest::Status, {TBootReply::BadSum(block)});
  EXPECT_FALSE(bus.CheckStatus());
  EXPECT_EQ(Sends(), 3u);
  EXPECT_TRUE(bus.isErrorPackage);
}

TEST_F(HecrIBusComm, ConnectUploadsTheStatusOnlyForBoardsWithAnOperatingSystem) {
  bus.blnIsOS = false;
  EXPECT_TRUE(bus.Connect(1234, true));
  EXPECT_TRUE(boot.Packets(TBootRequest::Status).empty());
  bus.blnIsOS = true;
  boot.On(TBootRequest::Status, {TBootReply::Silent()});
  bus.SetRetryCount(0);
  EXPECT_FALSE(bus.Connect(1234, true));
  EXPECT_EQ(boot.Packets(TBootRequest::Status).size(), 1u);
}

TEST_F(HecrIBusComm, BlockCarriesItsAddressAndTheBuffer) {
  for (size_t i = 0; i < 256; ++i)
    bus.Buffer[i] = static_cast<uint8_t>(255 - i);
  EXPECT_TRUE(bus.DownloadData(15, 0x0123));
  Bytes data(256);
  for (size_t i = 0; i < 256; ++i)
    data[i] = static_cast<uint8_t>(255 - i);
  EXPECT_EQ(boot.Packets().back(), StampedPacket(15, 0x23, 0x01, data));
}

TEST_F(HecrIBusComm, WakeUpSendsTwoBurstsASecondApartAt4800AndPulseOne) {
  bus.SetBaudRate(TBaudRate::tbr19200);
  line.ClearEvents();
  EXPECT_TRUE(bus.WakeUp());
  const std::vector<TSerialEvent> writes = line.EventsOf(TSerialEventKind::Written);
  ASSERT_EQ(writes.size(), 2u);
  for (const TSerialEvent &write : writes) {
    EXPECT_EQ(write.Bytes, Bytes(64, 0x66));
    EXPECT_EQ(write.Settings.BaudRate, 4800u);
  }
  EXPECT_GE(writes[1].Tick - writes[0].Tick, 1000u);
  EXPECT_LT(writes[1].Tick - writes[0].Tick, 1100u);
  EXPECT_EQ(line.Settings().BaudRate, 19200u);

  line.ClearEvents();
  EXPECT_TRUE(bus.Pulse());
  EXPECT_EQ(WrittenRates(), std::vector<uint32_t>{4800});
  EXPECT_EQ(line.Settings().BaudRate, 19200u);
}

TEST_F(HecrIBusComm, AbortEndsTheWaitInProgressAndTheLoop) {
  boot.On(TBootRequest::Start, {TBootReply::Silent()});
  platform.Post([this] { bus.Abort(); }, 300);
  const uint32_t started = platform.TickCount();
  EXPECT_FALSE(bus.StartCommand(1));
  EXPECT_EQ(Sends(), 1u);
  EXPECT_LT(platform.TickCount() - started, 800u);
  EXPECT_TRUE(bus.isAbort);

  // Abort during the second's pause of the wake-up.
  platform.Post([this] { bus.Abort(); }, 500);
  EXPECT_FALSE(bus.WakeUp());
  EXPECT_EQ(Sends(), 2u);
}

TEST_F(HecrIBusComm, DisConnectAsksUpToThreeTimesAndIsAlwaysTrue) {
  boot.On(TBootRequest::DisConnect, {TBootReply::Silent()});
  EXPECT_TRUE(bus.DisConnect(1234, 7));
  EXPECT_EQ(Sends(), 3u);
  EXPECT_EQ(boot.Packets().back(), StampedPacket(14, 2, 0, {0x34, 0x12, 0, 0, 7}));

  line.ClearEvents();
  boot.On(TBootRequest::DisConnect, {TBootReply::Ack()});
  bus.DisConnectMode = 0x102;
  EXPECT_TRUE(bus.DisConnect(1234, 7));
  EXPECT_EQ(Sends(), 1u);
  EXPECT_EQ(boot.Packets().back()[7], 0x02);
}

// A write that cannot be queued fails its step at once, without a wait:
// on a closed port, and with iMode 1 once a USB scale was found (nothing is
// written then).
TEST_F(HecrIBusComm, WritesThatCannotBeQueuedFailAtOnce) {
  struct TCase {
    const char *name;
    bool closed;
    bool usbScale;
  };
  for (const TCase &c : {TCase{"closed port", true, false}, TCase{"USB scale found", false, true}}) {
    SCOPED_TRACE(c.name);
    if (c.closed)
      bus.EnableComm(0);
    else
      bus.EnableComm(1);
    bus.iMode = c.usbScale ? 1 : 0;
    flags.UsbScaleFound = c.usbScale ? 1 : 0;
    line.ClearEvents();
    const uint32_t started = platform.TickCount();
    EXPECT_FALSE(bus.WakeUp());
    EXPECT_FALSE(bus.Pulse());
    EXPECT_FALSE(bus.ConnectEcr(1234, true));
    EXPECT_FALSE(bus.StartCommand(1));
    EXPECT_FALSE(bus.CheckStatus());
    EXPECT_TRUE(bus.DisConnect(1234, 0));
    EXPECT_TRUE(bus.Error);
    EXPECT_LT(platform.TickCount() - started, 10u);
    EXPECT_EQ(Sends(), 0u);
  }
}

TEST_F(HecrIBusComm, AWriteThatNeverLeavesThePortEndsItsWait) {
  bus.Comm().OnSendDataEmpty = nullptr;
  const uint32_t started = platform.TickCount();
  EXPECT_FALSE(bus.StartCommand(1));
  EXPECT_EQ(Sends(), 1u);
  EXPECT_LE(platform.TickCount() - started, THecrIBusComm::SendEmptyBoundMs + 10);
  EXPECT_FALSE(bus.Pulse());
}

TEST_F(HecrIBusComm, PortThatCannotBeOpenedShowsTheErrorBoxAndPassesTheErrorOn) {
  bus.EnableComm(0);
  platform.Line(u"COM9").FailStart("Error opening serial port");
  bus.SetCommName(u"COM9");
  EXPECT_THROW(bus.EnableComm(1), ECommsError);
  EXPECT_FALSE(bus.isActive());
  ASSERT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.MessageBoxes()[0].Text, u"Error opening COM9!\r\nplease select other ports.");
  EXPECT_EQ(platform.MessageBoxes()[0].Icon, TMessageBoxIcon::Error);
}

TEST_F(HecrIBusComm, ClosingWritesTheDebugLogAndClosesAlsoWhenItCannot) {
  bus.EnableComm(0);
  EXPECT_FALSE(line.IsOpen());
  EXPECT_FALSE(bus.isActive());
  EXPECT_TRUE(std::filesystem::exists(folder / "DEBUG.LOG"));
  EXPECT_EQ(std::filesystem::file_size(folder / "DEBUG.LOG"), 0u);

  // A bus that was never opened writes it too.
  THecrIBusComm other(platform, flags, folder / "other.log");
  other.EnableComm(0);
  EXPECT_TRUE(std::filesystem::exists(folder / "other.log"));

  // A log that cannot be written is left unwritten; the port closes all
  // the same.
  THecrIBusComm unwritable(platform, flags, folder / "missing" / "DEBUG.LOG");
  unwritable.SetCommName(u"COM4");
  unwritable.EnableComm(1);
  ASSERT_TRUE(line.IsOpen());
  EXPECT_NO_THROW(unwritable.EnableComm(0));
  EXPECT_FALSE(line.IsOpen());
  EXPECT_FALSE(unwritable.isActive());
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST_F(HecrIBusComm, DebugLogHoldsTheBytesSentAndReceived) {
  bus.isDebug = true;
  boot.On(TBootRequest::Start, {TBootReply::Silent(), TBootReply::Ack()});
  EXPECT_TRUE(bus.StartCommand(1));
  bus.EnableComm(0);
  std::ifstream file(folder / "DEBUG.LOG", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind(">>>>>>Send data<<<<<<<<\r\n03 8F 80 80 81 80 80 80 80 80 80 80 80 80 80 80 \r\n", 0),
            0u)
      << text.substr(0, 120);
  EXPECT_NE(text.find("\r\n\r\nRetry:1\r\n>>>>>>Send data<<<<<<<<\r\n"), std::string::npos);
  EXPECT_NE(text.find(">>>>>>Receive data<<<<<<<<\r\n02 \r\n\r\n"), std::string::npos);
}

} // namespace
} // namespace pondrex::test
