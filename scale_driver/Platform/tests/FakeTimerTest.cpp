// Fake timers fire only inside a pump once their virtual interval has passed,
// once per pump at most, and never while disabled or after destruction.
#include "TFakePlatform.h"

#include <gtest/gtest.h>

#include <memory>

namespace pondrex {
namespace {

class FakeTimer : public ::testing::Test {
protected:
  FakeTimer() { platform_.SetPumpCostUs(0); }

  std::unique_ptr<TWindowTimer> Make(uint32_t intervalMs) {
    return platform_.CreateTimer(intervalMs, [this] { ++fired_; });
  }

  TFakePlatform platform_;
  int fired_ = 0;
};

TEST_F(FakeTimer, FiresOnlyInAPumpOnceItsIntervalPassed) {
  auto timer = Make(100);
  EXPECT_FALSE(timer->Enabled()) << "created disabled";
  timer->SetEnabled(true);
  platform_.Sleep(99);
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 0);
  platform_.Sleep(1);
  EXPECT_EQ(fired_, 0) << "not while sleeping";
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 1);
  platform_.Sleep(1000);
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 2) << "once per pump, however many intervals passed";
  platform_.Sleep(99);
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 2) << "counted from the last event";
}

TEST_F(FakeTimer, DisabledOrWithIntervalZeroItNeverFires) {
  auto timer = Make(0);
  timer->SetEnabled(true);
  platform_.Sleep(1000);
  platform_.PumpMessages();
  timer->SetEnabled(false);
  timer->SetInterval(10);
  platform_.Sleep(1000);
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 0);
}

TEST_F(FakeTimer, ANewIntervalOrEnablingStartsTheCountAgain) {
  auto timer = Make(100);
  timer->SetEnabled(true);
  platform_.Sleep(80);
  timer->SetInterval(50);
  platform_.Sleep(40);
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 0);
  platform_.Sleep(10);
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 1);
  timer->SetEnabled(false);
  platform_.Sleep(30);
  timer->SetEnabled(true);
  platform_.Sleep(49);
  platform_.PumpMessages();
  EXPECT_EQ(fired_, 1);
}

TEST_F(FakeTimer, TheEventMayDisableOrDestroyItsTimer) {
  std::unique_ptr<TWindowTimer> selfDisabling;
  selfDisabling = platform_.CreateTimer(10, [&] {
    ++fired_;
    selfDisabling->SetEnabled(false);
  });
  std::unique_ptr<TWindowTimer> selfDestroying;
  selfDestroying = platform_.CreateTimer(10, [&] {
    ++fired_;
    selfDestroying.reset();
  });
  selfDisabling->SetEnabled(true);
  selfDestroying->SetEnabled(true);
  for (int i = 0; i < 3; ++i) {
    platform_.Sleep(10);
    platform_.PumpMessages();
  }
  EXPECT_EQ(fired_, 2);
  EXPECT_EQ(selfDestroying, nullptr);
}

} // namespace
} // namespace pondrex
