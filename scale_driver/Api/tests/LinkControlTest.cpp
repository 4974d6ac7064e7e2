// The link-control exports' work: transport, close, the baud search and
// disconnect, and the USB device list.
#include "LinkControl.h"
#include "ApiTestFixture.h"
#include "OpenScale.h"

namespace pondrex::test {
namespace {

using LinkControl = ApiFixture;

TEST_F(LinkControl, SetCommModeTakesTheLowByteAndOpensNothing) {
  const std::pair<uint32_t, uint8_t> cases[] = {{0, 0}, {260, 4}, {0x1FF, 0xFF}};
  for (const auto &[slot, mode] : cases) {
    EXPECT_EQ(api::SetCommMode(link(), slot), 0);
    EXPECT_EQ(static_cast<uint8_t>(link().Mode()), mode);
  }
  EXPECT_TRUE(line.Events().empty());
}

TEST_F(LinkControl, CloseSucceedsWhetherOrNotTheLinkWasOpen) {
  EXPECT_EQ(api::CloseDevice(link()), -1);
  api::OpenDevice(sensor, "COM3", 9600);
  ASSERT_TRUE(line.IsOpen());
  EXPECT_EQ(api::CloseDevice(link()), -1);
  EXPECT_FALSE(line.IsOpen());
  EXPECT_FALSE(link().Active());
}

TEST_F(LinkControl, ConnectionFindsTheRateThenSendsNothingUntilDisconnection) {
  const Bytes ack = ScaleFrame(0x800E0000);
  line.SetResponder([&ack](TFakeSerialLine &l, const TWrittenBlock &block) {
    if (block.Bytes.size() >= 13 && block.Settings.BaudRate == 38400)
      l.Send(ack, 5);
  });
  link().SetTimeOut(100);
  api::OpenDevice(sensor, "COM3", 57600);
  line.ClearEvents();
  EXPECT_EQ(api::Connection(link(), "123456"), -1);
  std::vector<uint32_t> rates;
  for (const TSerialEvent &event : line.EventsOf(TSerialEventKind::Started))
    rates.push_back(event.Settings.BaudRate);
  EXPECT_EQ(rates, (std::vector<uint32_t>{9600, 115200, 19200, 38400, 57600}));
  // The set-baud frame carries the code of the configured rate: 115200 / 57600.
  EXPECT_EQ(line.Writes().back()[7], 2);
  EXPECT_EQ(link().BaudRate(), 57600);

  line.ClearEvents();
  EXPECT_EQ(api::Connection(link(), "123456"), -1);
  EXPECT_TRUE(line.Events().empty());

  line.SetResponder([&ack](TFakeSerialLine &l, const TWrittenBlock &) { l.Send(ack, 5); });
  EXPECT_EQ(api::Disconnection(link(), "123456"), -1);
  ASSERT_EQ(line.Writes().size(), 1u);
  EXPECT_EQ(line.Writes()[0][5], 0x90);
  line.ClearEvents();
  EXPECT_EQ(api::Disconnection(link(), "123456"), -1);
  EXPECT_TRUE(line.Writes().empty());
}

TEST_F(LinkControl, ConnectionThatNoRateAnswersFails) {
  link().SetTimeOut(50);
  api::OpenDevice(sensor, "COM3", 9600);
  EXPECT_EQ(api::Connection(link(), "123456"), 0);
  EXPECT_FALSE(link().Connectioned());
}

TEST_F(LinkControl, LinkReportsNoUsbDevices) {
  EXPECT_EQ(api::EnumUsbDevices(link()), std::nullopt);
  EXPECT_EQ(api::SetUsbDeviceStr(link(), "USB\\VID_1234"), -1);
  EXPECT_EQ(api::SetUsbDeviceStr(link(), nullptr), -1);
}

} // namespace
} // namespace pondrex::test
