// The date and time of the system clock in the local time zone, as the
// connect packet of the firmware bus carries it.
#pragma once

#include "DateTimeValue.h"

#include <functional>

namespace pondrex {

using TLocalClock = std::function<TDateTimeParts()>;

// Now, to the second (Millisecond is 0).
TDateTimeParts LocalNow();

} // namespace pondrex
