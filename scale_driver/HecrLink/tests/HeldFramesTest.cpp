// The frames held back for a scan: out in the order they went in, with
// their kinds and starts, while new ones keep coming; and the oldest give
// way once more than MaxHeldBytes are held.
#include "THeldFrames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pondrex::test {
namespace {

// Frame n: 16 bytes, each the low byte of n, starting at 16 n.
std::vector<uint8_t> FrameNumber(uint64_t n) {
  return std::vector<uint8_t>(16, static_cast<uint8_t>(n));
}

void ExpectFrame(THeldFrames &held, uint64_t n, TReceivedKind kind) {
  TReceivedKind gotKind = TReceivedKind::Skip;
  uint64_t start = 0;
  std::vector<uint8_t> frame;
  ASSERT_TRUE(held.Pop(gotKind, start, frame)) << n;
  EXPECT_EQ(gotKind, kind) << n;
  EXPECT_EQ(start, 16 * n) << n;
  EXPECT_EQ(frame, FrameNumber(n)) << n;
}

TEST(HeldFrames, ComeOutInOrderWhileNewOnesKeepComing) {
  THeldFrames held;
  uint64_t pushed = 0;
  uint64_t popped = 0;
  // Two in, one out, far past the point where the block is compacted.
  while (pushed < 100000) {
    for (int i = 0; i < 2; ++i, ++pushed)
      held.Push(pushed % 3 == 0 ? TReceivedKind::ProtocolFrame : TReceivedKind::Is1, 16 * pushed,
                FrameNumber(pushed));
    ExpectFrame(held, popped, popped % 3 == 0 ? TReceivedKind::ProtocolFrame : TReceivedKind::Is1);
    ++popped;
  }
  for (; popped < pushed; ++popped)
    ExpectFrame(held, popped, popped % 3 == 0 ? TReceivedKind::ProtocolFrame : TReceivedKind::Is1);
  EXPECT_TRUE(held.Empty());
}

TEST(HeldFrames, TheOldestGiveWayBeyondTheLimit) {
  THeldFrames held;
  const uint64_t fit = THeldFrames::MaxHeldBytes / 16;
  for (uint64_t n = 0; n < fit + 5; ++n)
    held.Push(TReceivedKind::Is1, 16 * n, FrameNumber(n));
  for (uint64_t n = 5; n < fit + 5; ++n)
    ExpectFrame(held, n, TReceivedKind::Is1);
  EXPECT_TRUE(held.Empty());
  // What Clear leaves is empty, and takes new frames.
  held.Push(TReceivedKind::Is1, 0, FrameNumber(0));
  held.Clear();
  EXPECT_TRUE(held.Empty());
  held.Push(TReceivedKind::AdU9, 16, FrameNumber(1));
  ExpectFrame(held, 1, TReceivedKind::AdU9);
}

} // namespace
} // namespace pondrex::test
