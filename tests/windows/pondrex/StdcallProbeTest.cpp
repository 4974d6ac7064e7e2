// The stdcall probe itself: it must see a callee that removes the wrong
// number of bytes or clobbers a callee-saved register, or its checks on the
// library's exports would prove nothing.
#include "StdcallProbe.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pos::test::callStdcall;

extern "C" uint32_t __stdcall stdcallTwoSlots(uint32_t first, uint32_t second) {
  return first * 10 + second;
}
extern "C" uint32_t __cdecl cdeclOneSlot(uint32_t value) {
  return value + 1;
}

// A stdcall function without arguments that zeroes EBX and does not restore it.
extern "C" __attribute__((naked)) void clobbersEbx() {
  asm("xorl %ebx, %ebx\n\tret");
}

TEST(StdcallProbe, CorrectStdcallCallIsBalancedAndPassesSlotsInOrder) {
  const auto outcome = callStdcall(reinterpret_cast<const void *>(&stdcallTwoSlots), {4, 2});
  EXPECT_EQ(outcome.eax, 42u);
  EXPECT_EQ(outcome.stackDelta, 0);
  EXPECT_TRUE(outcome.calleeSavedKept);
  EXPECT_TRUE(outcome.balanced());
}

TEST(StdcallProbe, DetectsCalleeThatRemovesTheWrongNumberOfBytes) {
  struct Case {
    const char *what;
    const void *function;
    std::vector<uint32_t> slots;
    int32_t stackDelta;
  };
  const Case cases[] = {
      {"cdecl function behind a stdcall prototype", reinterpret_cast<const void *>(&cdeclOneSlot), {7}, -4},
      {"prototype with one slot too few", reinterpret_cast<const void *>(&stdcallTwoSlots), {1}, 4},
      {"prototype with one slot too many", reinterpret_cast<const void *>(&stdcallTwoSlots), {1, 2, 3}, -4},
  };
  for (const Case &c : cases) {
    const auto outcome = callStdcall(c.function, c.slots);
    EXPECT_EQ(outcome.stackDelta, c.stackDelta) << c.what;
    EXPECT_FALSE(outcome.balanced()) << c.what;
  }
}

TEST(StdcallProbe, DetectsClobberedCalleeSavedRegister) {
  const auto outcome = callStdcall(reinterpret_cast<const void *>(&clobbersEbx));
  EXPECT_EQ(outcome.stackDelta, 0);
  EXPECT_FALSE(outcome.calleeSavedKept);
}

} // namespace
