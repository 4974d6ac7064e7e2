// A window timer fires only while the thread that created it pumps, once per
// pump however long the pump was delayed, and never when disabled, destroyed
// or created on another thread.
#include "TWinPlatform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace pondrex {
namespace {

IPlatform &platform = SystemPlatform();

// Sleeps and pumps until done() or about two seconds have passed.
template <typename Done> void PumpUntil(Done done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    platform.Sleep(10);
    platform.PumpMessages();
  }
}

TEST(WinTimer, FiresOnlyWhileTheOwnerPumps) {
  int fired = 0;
  DWORD thread = 0;
  auto timer = platform.CreateTimer(30, [&] {
    ++fired;
    thread = GetCurrentThreadId();
  });
  timer->SetEnabled(true);
  platform.Sleep(200);
  EXPECT_EQ(fired, 0) << "not while sleeping";
  platform.PumpMessages();
  EXPECT_EQ(fired, 1) << "once, though several intervals passed";
  EXPECT_EQ(thread, GetCurrentThreadId());
  PumpUntil([&] { return fired == 2; });
  EXPECT_EQ(fired, 2) << "and again an interval later";

  timer->SetEnabled(false);
  platform.Sleep(100);
  platform.PumpMessages();
  EXPECT_EQ(fired, 2);
}

TEST(WinTimer, NeverFiresWithIntervalZeroOrAfterDestruction) {
  int fired = 0;
  auto idle = platform.CreateTimer(0, [&] { ++fired; });
  idle->SetEnabled(true);
  auto destroyed = platform.CreateTimer(10, [&] { ++fired; });
  destroyed->SetEnabled(true);
  platform.Sleep(100);
  destroyed.reset();
  platform.PumpMessages();
  platform.Sleep(100);
  platform.PumpMessages();
  EXPECT_EQ(fired, 0);
}

TEST(WinTimer, TheEventMayDestroyItsTimer) {
  int fired = 0;
  std::unique_ptr<TWindowTimer> timer;
  timer = platform.CreateTimer(10, [&] {
    ++fired;
    timer.reset();
  });
  timer->SetEnabled(true);
  PumpUntil([&] { return fired > 0; });
  platform.Sleep(50);
  platform.PumpMessages();
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(timer, nullptr);
}

TEST(WinTimer, ATimerOfAnotherThreadFiresOnlyThere) {
  std::atomic<int> fired{0};
  std::atomic<bool> created{false};
  std::atomic<bool> mainDone{false};
  std::thread owner([&] {
    auto timer = platform.CreateTimer(20, [&] { ++fired; });
    timer->SetEnabled(true);
    created = true;
    while (!mainDone) {
      Sleep(5);
    }
    PumpUntil([&] { return fired > 0; });
  });
  while (!created) {
    Sleep(5);
  }
  for (int i = 0; i < 10; ++i) {
    platform.Sleep(20);
    platform.PumpMessages();
  }
  EXPECT_EQ(fired, 0) << "this thread does not own the timer";
  mainDone = true;
  owner.join();
  // At least once: on a loaded machine a further interval can pass while the
  // owner's pump dispatches the first event.
  EXPECT_GE(fired, 1);
}

} // namespace
} // namespace pondrex
