// Calls a function through the 32-bit stdcall convention, as a host program
// does, and records what the call did to the caller's stack and registers.
// A test proves with it that an export (or a callback handed to the library)
// removes exactly its own arguments and keeps EBX, ESI and EDI, the way a
// host compiled against its prototype relies on. 32-bit (i686) only.
//
//   const StdcallOutcome r = callStdcall(fn, {slotOf(buffer), 7});
//   EXPECT_EQ(r.stackDelta, 0);
//   EXPECT_TRUE(r.calleeSavedKept);
//   EXPECT_EQ(r.eax & 0xFF, 1u);
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

namespace pos::test {

struct StdcallOutcome {
  // The result registers: a 32-bit result in eax, a one-byte Boolean in its
  // low 8 bits, a 16-bit result in its low 16 bits, a pointer as is; edx
  // holds the high half of a 64-bit result.
  uint32_t eax = 0;
  uint32_t edx = 0;
  // ESP after the call minus ESP before the arguments were pushed, in bytes:
  // 0 when the callee removed exactly the slots pushed, negative when it left
  // some behind (a cdecl function, or fewer parameters than slots), positive
  // when it removed more than were pushed.
  int32_t stackDelta = 0;
  // EBX, ESI and EDI held after the call what they held before it.
  bool calleeSavedKept = false;

  bool balanced() const { return stackDelta == 0 && calleeSavedKept; }
};

// Pushes the 32-bit argument slots right to left (slots[0] is the first
// argument and ends up nearest the return address), with ESP aligned to 16
// bytes at the call, calls function and returns the outcome. A callee that
// removes the wrong number of bytes does not harm the caller: the probe
// recovers its own frame through EBP, which every callee must keep (a callee
// that corrupts EBP crashes the test, as it would crash a host). Arguments
// wider than 32 bits take several slots, low half first.
StdcallOutcome callStdcall(const void *function, std::span<const uint32_t> slots);
StdcallOutcome callStdcall(const void *function, std::initializer_list<uint32_t> slots = {});

// The slot of a pointer argument.
inline uint32_t slotOf(const void *pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

} // namespace pos::test
