// The baud search: every rate of the table in order, two attempts each, the
// set-baud code of the configured rate, and the port left at that rate.
#include "LinkTestSupport.h"

#include "LinkBaudTable.h"
#include "TccHecrCommand.h"

#include <gtest/gtest.h>

namespace pondrex::test {
namespace {

constexpr int32_t SetBaudId = 1;
constexpr int32_t DisconnectId = 7;
const Bytes Ack = ScaleFrame(0x800E0000);

TEST(LinkBaudTable, RatesInProbingOrderWithTheirCodes) {
  const TLinkBaudTable table = LinkBaudTable();
  const std::vector<std::pair<int32_t, uint8_t>> expected = {
      {9600, 12}, {115200, 1}, {19200, 6}, {38400, 3}, {57600, 2}};
  ASSERT_EQ(table.size(), expected.size());
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].Rate, expected[i].first);
    EXPECT_EQ(table[i].Code, expected[i].second);
    EXPECT_EQ(BaudCode(table[i].Rate), expected[i].second);
    EXPECT_FALSE(table[i].Tried);
  }
  EXPECT_EQ(BaudCode(4800), 1);
}

class BaudSearch : public LinkFixture {
protected:
  void SetUp() override {
    link.SetBaudRate(19200);
    OpenSerial();
    line.ClearEvents();
  }
  // A scale that acknowledges only at one rate.
  void AnswerOnlyAt(uint32_t rate) {
    line.SetResponder([rate](TFakeSerialLine &l, const TWrittenBlock &block) {
      if (block.Settings.BaudRate == rate)
        l.Send(ScaleFrame(0x800E0000), 5);
    });
  }
  std::vector<uint32_t> StartedRates() const {
    std::vector<uint32_t> rates;
    for (const TSerialEvent &event : line.EventsOf(TSerialEventKind::Started))
      rates.push_back(event.Settings.BaudRate);
    return rates;
  }
  std::vector<uint32_t> WrittenRates() const {
    std::vector<uint32_t> rates;
    for (const TSerialEvent &event : line.EventsOf(TSerialEventKind::Written))
      rates.push_back(event.Settings.BaudRate);
    return rates;
  }
};

TEST_F(BaudSearch, ScaleAnsweringAtOneRateIsFoundAndTheConfiguredRateRestored) {
  AnswerOnlyAt(38400);
  EXPECT_TRUE(link.Connection(SetBaudId, TestEcrIdText));

  EXPECT_EQ(StartedRates(), (std::vector<uint32_t>{9600, 115200, 19200, 38400, 19200}));
  EXPECT_EQ(WrittenRates(), (std::vector<uint32_t>{9600, 9600, 115200, 115200, 19200, 19200, 38400}));
  // Every set-baud frame carries the code of the configured 19200 (6).
  for (const Bytes &frame : line.Writes())
    EXPECT_EQ(frame, ScaleFrame(0x80000600));
  EXPECT_TRUE(line.IsOpen());
  EXPECT_EQ(line.Settings().BaudRate, 19200u);
  EXPECT_TRUE(link.Active());
  EXPECT_TRUE(link.Connectioned());
  EXPECT_EQ(link.BaudRate(), 19200);
  EXPECT_EQ(link.Retrycnt(), 5);

  line.ClearEvents();
  EXPECT_TRUE(link.Connection(SetBaudId, TestEcrIdText));
  EXPECT_TRUE(line.Events().empty());
}

TEST_F(BaudSearch, NoAnsweringRateFailsAndLeavesThePortAtTheLastRate) {
  EXPECT_FALSE(link.Connection(SetBaudId, TestEcrIdText));
  EXPECT_EQ(StartedRates(), (std::vector<uint32_t>{9600, 115200, 19200, 38400, 57600}));
  EXPECT_EQ(line.Writes().size(), 10u);
  EXPECT_EQ(line.Settings().BaudRate, 57600u);
  EXPECT_FALSE(link.Connectioned());
  EXPECT_EQ(link.BaudRate(), 19200);
  EXPECT_EQ(link.Retrycnt(), 5);
}

TEST_F(BaudSearch, FailedReopenAtTheConfiguredRateIsNoSuccess) {
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &) {
    l.Send(ScaleFrame(0x800E0000), 5);
    l.FailStart("Error opening serial port");
  });
  EXPECT_FALSE(link.Connection(SetBaudId, TestEcrIdText));
  EXPECT_FALSE(link.Active());
  EXPECT_FALSE(link.Connectioned());
  EXPECT_EQ(Errors(), std::vector<int32_t>{THecrLink::ErrOpenFailed});
}

TEST_F(BaudSearch, DisconnectionSendsOnlyAfterASuccessfulSearch) {
  AnswerWith(Ack);
  EXPECT_TRUE(link.Disconnection(DisconnectId, TestEcrIdText));
  EXPECT_TRUE(line.Writes().empty());

  EXPECT_TRUE(link.Connection(SetBaudId, TestEcrIdText));
  line.ClearEvents();
  EXPECT_TRUE(link.Disconnection(DisconnectId, TestEcrIdText));
  EXPECT_EQ(line.Writes(), std::vector<Bytes>{ScaleFrame(0x90000000)});
  EXPECT_FALSE(link.Connectioned());

  // The set-baud entry keeps the rate code for later sends.
  line.ClearEvents();
  EXPECT_TRUE(Send(SetBaudId));
  EXPECT_EQ(line.Writes(), std::vector<Bytes>{ScaleFrame(0x80000600)});
}

// From an event handler inside a transfer, a call that has nothing to send
// answers as usual; one that would send fails and changes nothing.
TEST_F(BaudSearch, CallsFromAnEventHandlerDuringAWaitSendNothing) {
  AnswerWith(Ack);
  ASSERT_TRUE(link.Connection(SetBaudId, TestEcrIdText));
  std::vector<bool> nested;
  link.OnError = [&](THecrLink &, int32_t code) {
    if (code != THecrLink::ErrRetrying)
      return;
    nested.push_back(link.Connection(SetBaudId, TestEcrIdText));
    nested.push_back(link.Disconnection(DisconnectId, TestEcrIdText));
  };
  link.SetRetrycnt(1);
  for (const bool connected : {true, false}) {
    SCOPED_TRACE(connected);
    if (!connected) {
      AnswerWith(Ack);
      ASSERT_TRUE(link.Disconnection(DisconnectId, TestEcrIdText));
    }
    line.SetResponder({});
    line.ClearEvents();
    nested.clear();
    EXPECT_FALSE(Send(5));
    EXPECT_EQ(nested, connected ? (std::vector<bool>{true, false}) : (std::vector<bool>{false, true}));
    EXPECT_EQ(link.Connectioned(), connected);
    EXPECT_EQ(line.Writes(), std::vector<Bytes>{ScaleFrame(0x80040000)});
  }
}

} // namespace
} // namespace pondrex::test
