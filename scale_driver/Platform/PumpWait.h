// The waits of the driver: they block on the calling thread's message queue
// and pump what arrives, so that an answer posted by the serial component is
// taken the moment it comes and a wait costs no processor time. Their bounds
// are measured by the fine clock (MonotonicMs), so that a message that wakes
// a wait early does not shorten it, and a step of 1 ms lasts 1 ms even where
// the tick count moves in coarser steps.
#pragma once

#include "IPlatform.h"
#include "TickCount.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace pondrex {

// Milliseconds from now until more than limitMs will have passed since start;
// 0 once they have. The bound of a wait that ends when a limit is exceeded.
constexpr uint32_t MsUntilMoreThan(uint32_t start, uint32_t now, uint32_t limitMs) {
  const uint32_t elapsed = ElapsedTicks(start, now);
  if (elapsed > limitMs)
    return 0;
  const uint32_t left = limitMs - elapsed;
  return left == std::numeric_limits<uint32_t>::max() ? left : left + 1;
}

// The pump of one pass of a loop that pumps and then tests what ends it: the
// first pass pumps what is queued at once, so that a loop whose end is due
// already (a closed link, say) ends without waiting; a later pass first
// waits for a message, at most boundMs.
inline void PumpPass(IPlatform &platform, bool firstPass, uint32_t boundMs) {
  if (firstPass)
    platform.PumpMessages();
  else
    platform.WaitAndPump(boundMs);
}

// One step of a wait that pauses stepMs and then pumps: pumps whatever
// arrives until stepMs have passed or done() holds. It pumps at least once,
// and a step that nothing ends still lasts its whole time.
template <typename Done> void PumpStep(IPlatform &platform, uint32_t stepMs, Done &&done) {
  const uint32_t started = platform.MonotonicMs();
  uint32_t elapsed = 0;
  for (;;) {
    platform.WaitAndPump(stepMs - elapsed);
    elapsed = ElapsedTicks(started, platform.MonotonicMs());
    if (elapsed >= stepMs || done())
      return;
  }
}

// How a wait of PumpUntil ended.
enum class TWaitEnd : uint8_t { Done, BoundReached };

// Pumps whatever arrives until done() holds or boundMs have passed, waking
// at least every stepMs. done() is tested first: a wait whose condition
// holds already returns at once, without pumping.
template <typename Done>
TWaitEnd PumpUntil(IPlatform &platform, uint32_t boundMs, Done &&done,
                   uint32_t stepMs = std::numeric_limits<uint32_t>::max()) {
  const uint32_t started = platform.MonotonicMs();
  while (!done()) {
    const uint32_t waited = ElapsedTicks(started, platform.MonotonicMs());
    if (waited >= boundMs)
      return TWaitEnd::BoundReached;
    platform.WaitAndPump(std::min(stepMs, boundMs - waited));
  }
  return TWaitEnd::Done;
}

} // namespace pondrex
