// Elapsed times are unsigned 32-bit differences, so they stay right when the
// tick count wraps around between the two readings.
#include "TickCount.h"

#include <gtest/gtest.h>

#include <vector>

namespace pondrex {
namespace {

struct ElapsedCase {
  uint32_t start;
  uint32_t now;
  uint32_t elapsed;
};

TEST(TickCount, ElapsedIsTheUnsignedDifference) {
  const std::vector<ElapsedCase> cases = {
      {0, 0, 0},
      {100, 250, 150},
      {0xFFFFFFFFu, 0, 1},
      {0xFFFFFF00u, 0x000000FFu, 0x1FF},
      {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu},
  };
  for (const ElapsedCase &c : cases) {
    EXPECT_EQ(ElapsedTicks(c.start, c.now), c.elapsed) << c.start << " -> " << c.now;
  }
}

TEST(TickCount, MoreThanIsStrictAcrossTheWrap) {
  const uint32_t start = 0xFFFFFFB0u; // 80 ms before the wrap
  EXPECT_FALSE(ElapsedMoreThan(start, 70, 150));
  EXPECT_TRUE(ElapsedMoreThan(start, 71, 150));
  EXPECT_FALSE(ElapsedMoreThan(start, start, 0));
  EXPECT_TRUE(ElapsedMoreThan(start, start + 1, 0));
}

} // namespace
} // namespace pondrex
