// Pumping dispatches every message already queued for the calling thread,
// once, returns without waiting for more, and leaves a quit request to the
// host's own message loop. A wait for a message ends as soon as one is
// posted, and then pumps.
#include "TWinPlatform.h"
#include "TestWindow.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace pondrex {
namespace {

TEST(WinPump, DispatchesEveryQueuedMessageOnce) {
  std::vector<UINT> seen;
  test::TestWindow window([&](UINT message, WPARAM, LPARAM) { seen.push_back(message); });
  for (UINT message = WM_APP + 1; message <= WM_APP + 3; ++message) {
    ASSERT_TRUE(PostMessageW(window.get(), message, 0, 0));
  }
  SystemPlatform().PumpMessages();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 3}));
  SystemPlatform().PumpMessages();
  EXPECT_EQ(seen.size(), 3u);
}

TEST(WinPump, ReturnsWithoutWaitingForNewMessages) {
  int seen = 0;
  test::TestWindow window([&](UINT, WPARAM, LPARAM) { ++seen; });
  const HWND target = window.get();
  std::thread later([target] {
    Sleep(400);
    PostMessageW(target, WM_APP, 0, 0);
  });
  const DWORD start = GetTickCount();
  SystemPlatform().PumpMessages();
  const DWORD took = GetTickCount() - start;
  later.join();
  EXPECT_LT(took, 200u);
  EXPECT_EQ(seen, 0);
  SystemPlatform().PumpMessages();
  EXPECT_EQ(seen, 1);
}

TEST(WinPump, LeavesAQuitRequestForTheHostsLoop) {
  int seen = 0;
  test::TestWindow window([&](UINT, WPARAM, LPARAM) { ++seen; });
  ASSERT_TRUE(PostMessageW(window.get(), WM_APP, 0, 0));
  PostQuitMessage(7);
  SystemPlatform().PumpMessages();
  EXPECT_EQ(seen, 1);
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 7u);
}

// The bound of these waits is far above the time the message takes to come,
// so a wait that did not wake for it shows as having run to its bound.
constexpr DWORD LongBoundMs = 20000;

TEST(WinWait, EndsWhenAMessageIsPostedAndDispatchesIt) {
  int seen = 0;
  test::TestWindow window([&](UINT, WPARAM, LPARAM) { ++seen; });
  const HWND target = window.get();
  std::thread later([target] {
    Sleep(100);
    PostMessageW(target, WM_APP, 0, 0);
  });
  const DWORD start = GetTickCount();
  SystemPlatform().WaitAndPump(LongBoundMs);
  const DWORD took = GetTickCount() - start;
  later.join();
  EXPECT_EQ(seen, 1);
  EXPECT_LT(took, LongBoundMs / 2);
}

TEST(WinWait, AMessageAlreadyQueuedEndsTheWaitAtOnce) {
  int seen = 0;
  test::TestWindow window([&](UINT, WPARAM, LPARAM) { ++seen; });
  ASSERT_TRUE(PostMessageW(window.get(), WM_APP, 0, 0));
  // Looked at but left in the queue: the wait must still see it.
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE));
  const DWORD start = GetTickCount();
  SystemPlatform().WaitAndPump(LongBoundMs);
  EXPECT_LT(GetTickCount() - start, LongBoundMs / 2);
  EXPECT_EQ(seen, 1);
}

TEST(WinWait, RunsToItsBoundWhenNothingComes) {
  const DWORD start = GetTickCount();
  SystemPlatform().WaitAndPump(50);
  EXPECT_GE(GetTickCount() - start, 40u); // the tick count's granularity
}

TEST(WinWait, APendingQuitRequestIsLeftForTheHost) {
  PostQuitMessage(3);
  SystemPlatform().WaitAndPump(10);
  SystemPlatform().WaitAndPump(10);
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 3u);
}

} // namespace
} // namespace pondrex
