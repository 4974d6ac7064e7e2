// The fake platform's clock and pump: sleeping moves virtual time on without
// dispatching, each pump costs a little time so that busy waits end, posted
// work runs only inside a pump, and what the core shows is recorded.
#include "TFakePlatform.h"
#include "TickCount.h"

#include <gtest/gtest.h>

#include <vector>

namespace pondrex {
namespace {

TEST(FakePlatformClock, SleepMovesTheTickCountOnAcrossTheWrap) {
  TFakePlatform platform(0xFFFFFFF0u);
  EXPECT_EQ(platform.TickCount(), 0xFFFFFFF0u);
  platform.Sleep(0x20);
  EXPECT_EQ(platform.TickCount(), 0x10u);
  platform.Sleep(0);
  EXPECT_EQ(platform.TickCount(), 0x10u);
}

TEST(FakePlatformClock, AWaitThatOnlyPumpsEndsAcrossTheWrap) {
  TFakePlatform platform(0xFFFFFFC0u);
  const uint32_t start = platform.TickCount();
  while (!ElapsedMoreThan(start, platform.TickCount(), 150)) {
    platform.PumpMessages();
  }
  EXPECT_EQ(ElapsedTicks(start, platform.TickCount()), 151u);
  EXPECT_EQ(platform.PumpCount(), 151u * 100); // 10 us a pump
}

TEST(FakePlatformClock, PumpCostCanBeSet) {
  TFakePlatform platform;
  platform.SetPumpCostUs(1000);
  platform.PumpMessages();
  platform.PumpMessages();
  EXPECT_EQ(platform.TickCount(), 2u);
  platform.SetPumpCostUs(0);
  platform.PumpMessages();
  EXPECT_EQ(platform.TickCount(), 2u);
}

TEST(FakePlatformPump, PostedTasksRunOnlyInAPumpOnceTheirDelayPassed) {
  TFakePlatform platform;
  platform.SetPumpCostUs(0);
  std::vector<int> ran;
  platform.Post([&] { ran.push_back(1); }, 20);
  platform.Post([&] { ran.push_back(2); });
  EXPECT_TRUE(ran.empty());
  platform.Sleep(30); // sleeping dispatches nothing
  EXPECT_TRUE(ran.empty());
  platform.PumpMessages();
  // In the order in which they were queued: the second at once, the first at 20 ms.
  EXPECT_EQ(ran, (std::vector<int>{2, 1}));
  platform.PumpMessages();
  EXPECT_EQ(ran.size(), 2u);
}

TEST(FakePlatformPump, WorkQueuedDuringAPumpRunsInThatPump) {
  TFakePlatform platform;
  int ran = 0;
  platform.Post([&] { platform.Post([&] { ++ran; }); });
  platform.PumpMessages();
  EXPECT_EQ(ran, 1);
}

// A wait ends when something is queued for the pump, at the latest at its
// bound, and then pumps once.
TEST(FakePlatformWait, EndsAtTheFirstQueuedWorkOrItsBound) {
  struct Case {
    const char *name;
    uint32_t postDelayMs; // 0: nothing posted
    uint32_t boundMs;
    uint32_t endsAtMs;
    int ran;
  };
  const Case cases[] = {
      {"posted 1 ms into a 10 ms wait", 1, 10, 1, 1},
      {"posted at the bound", 10, 10, 10, 1},
      {"posted after the bound", 11, 10, 10, 0},
      {"nothing posted", 0, 10, 10, 0},
      {"a zero bound pumps at once", 0, 0, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    TFakePlatform platform;
    platform.SetPumpCostUs(0);
    int ran = 0;
    if (c.postDelayMs != 0) {
      platform.Post([&] { ++ran; }, c.postDelayMs);
    }
    platform.WaitAndPump(c.boundMs);
    EXPECT_EQ(platform.TickCount(), c.endsAtMs);
    EXPECT_EQ(ran, c.ran);
    EXPECT_EQ(platform.PumpCount(), 1u);
    EXPECT_EQ(platform.WaitCount(), 1u);
  }
}

TEST(FakePlatformWait, WorkAlreadyQueuedEndsTheWaitAtOnce) {
  TFakePlatform platform;
  platform.SetPumpCostUs(0);
  int ran = 0;
  platform.Post([&] { ++ran; });
  platform.WaitAndPump(50);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(platform.TickCount(), 0u);
}

TEST(FakePlatformWait, ATimerFallingDueEndsTheWait) {
  TFakePlatform platform;
  platform.SetPumpCostUs(0);
  int fired = 0;
  auto timer = platform.CreateTimer(7, [&] { ++fired; });
  timer->SetEnabled(true);
  platform.WaitAndPump(20);
  EXPECT_EQ(platform.TickCount(), 7u);
  EXPECT_EQ(fired, 1);
}

TEST(FakePlatformRecords, MessageBoxesAndWindowTexts) {
  TFakePlatform platform;
  platform.ShowMessageBox(u"Error opening COM3!\r\nplease select other ports.", u"", TMessageBoxIcon::Error);
  platform.SendTextToWindow(0x1234, 1024, u"1:250:0.250:N:KG:0");
  platform.SendTextToWindow(0, 1024, u"to no window");
  ASSERT_EQ(platform.MessageBoxes().size(), 1u);
  EXPECT_EQ(platform.MessageBoxes()[0].Text, u"Error opening COM3!\r\nplease select other ports.");
  EXPECT_EQ(platform.MessageBoxes()[0].Icon, TMessageBoxIcon::Error);
  ASSERT_EQ(platform.WindowTexts().size(), 1u);
  EXPECT_EQ(platform.WindowTexts()[0].Window, 0x1234u);
  EXPECT_EQ(platform.WindowTexts()[0].Message, 1024u);
  EXPECT_EQ(platform.WindowTexts()[0].Text, u"1:250:0.250:N:KG:0");
}

} // namespace
} // namespace pondrex
