// The driver's waits on the message queue: a step lasts its whole time while
// only other messages wake it, ends the moment its condition holds, and the
// bound of a wait that ends once a limit is exceeded survives the wrap.
#include "PumpWait.h"
#include "TFakePlatform.h"

#include <gtest/gtest.h>

#include <functional>

namespace pondrex {
namespace {

TEST(PumpWait, MsUntilMoreThanCountsToTheFirstTickBeyondTheLimit) {
  struct Case {
    uint32_t start, now, limit, expected;
  };
  const Case cases[] = {
      {1000, 1000, 150, 151},
      {1000, 1100, 150, 51},
      {1000, 1150, 150, 1},
      {1000, 1151, 150, 0},
      {1000, 5000, 150, 0},
      {0xFFFFFFF0u, 0x10, 150, 119},
      {0, 0, 0xFFFFFFFFu, 0xFFFFFFFFu},
  };
  for (const Case &c : cases)
    EXPECT_EQ(MsUntilMoreThan(c.start, c.now, c.limit), c.expected)
        << c.start << " " << c.now << " " << c.limit;
}

// A host message every millisecond, like a busy window, from the start on.
void PostEveryMs(TFakePlatform &platform, int count) {
  for (int i = 1; i <= count; ++i)
    platform.Post([] {}, static_cast<uint32_t>(i));
}

TEST(PumpWait, StepLastsItsWholeTimeWhileOtherMessagesWakeIt) {
  TFakePlatform platform;
  PostEveryMs(platform, 20);
  PumpStep(platform, 10, [] { return false; });
  EXPECT_EQ(platform.TickCount(), 10u);
  // Each message was dispatched as it came, not at the end of the step.
  EXPECT_GE(platform.WaitCount(), 10u);
}

TEST(PumpWait, StepEndsWhenItsConditionHolds) {
  TFakePlatform platform;
  bool answered = false;
  platform.Post([&answered] { answered = true; }, 3);
  PumpStep(platform, 10, [&answered] { return answered; });
  EXPECT_EQ(platform.TickCount(), 3u);
  EXPECT_TRUE(answered);
}

TEST(PumpWait, StepPumpsAtLeastOnce) {
  TFakePlatform platform;
  bool ran = false;
  platform.Post([&ran] { ran = true; });
  PumpStep(platform, 0, [] { return true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(platform.PumpCount(), 1u);
}

TEST(PumpWait, FirstPassPumpsWithoutWaitingLaterPassesWait) {
  TFakePlatform platform;
  PumpPass(platform, true, 100);
  EXPECT_EQ(platform.TickCount(), 0u);
  EXPECT_EQ(platform.WaitCount(), 0u);
  PumpPass(platform, false, 100);
  EXPECT_EQ(platform.TickCount(), 100u);
  EXPECT_EQ(platform.WaitCount(), 1u);
}

// On Windows the tick count moves in steps of about 16 ms while a host that
// raised the timer resolution gets 1 ms waits: the steps are measured by the
// fine clock, so 31 steps of 1 ms last 31 ms and not 31 ticks of 16 ms.
TEST(PumpWait, StepsAreMeasuredByTheFineClockNotTheCoarseTickCount) {
  TFakePlatform platform(0xFFFFFFF0u);
  platform.SetTickStepMs(16);
  const uint32_t started = platform.MonotonicMs();
  for (int i = 0; i < 31; ++i)
    PumpStep(platform, 1, [] { return false; });
  EXPECT_EQ(ElapsedTicks(started, platform.MonotonicMs()), 31u);
  EXPECT_EQ(platform.TickCount() % 16, 0u);
}

TEST(PumpWait, PumpUntilEndsOnItsConditionOrItsBound) {
  struct Case {
    const char *name;
    int answerAtMs; // -1: never
    bool doneAlready;
    TWaitEnd end;
    uint32_t tookMs;
    uint32_t pumps;
  };
  const Case cases[] = {
      {"holds already: no pump", -1, true, TWaitEnd::Done, 0, 0},
      {"answer in time", 7, false, TWaitEnd::Done, 7, 1},
      {"no answer", -1, false, TWaitEnd::BoundReached, 50, 1},
      {"answer after the bound", 80, false, TWaitEnd::BoundReached, 50, 1},
  };
  for (const Case &c : cases) {
    TFakePlatform platform;
    bool answered = c.doneAlready;
    if (c.answerAtMs >= 0)
      platform.Post([&answered] { answered = true; }, static_cast<uint32_t>(c.answerAtMs));
    EXPECT_EQ(PumpUntil(platform, 50, [&answered] { return answered; }), c.end) << c.name;
    EXPECT_EQ(platform.MonotonicMs(), c.tookMs) << c.name;
    EXPECT_EQ(platform.PumpCount(), c.pumps) << c.name;
  }
}

TEST(PumpWait, PumpUntilWakesAtLeastEveryStep) {
  TFakePlatform platform;
  EXPECT_EQ(PumpUntil(platform, 50, [] { return false; }, 10), TWaitEnd::BoundReached);
  EXPECT_EQ(platform.WaitCount(), 5u);
}

} // namespace
} // namespace pondrex
