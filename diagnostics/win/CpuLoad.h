#pragma once
// The processor load: the text of report section 4 from WMI, and a
// one-second sample of the processor-time performance counter with a
// one-line summary built on it.
#include <string>

namespace tavrel {

// The WMI load in the stream's default number format; "-1" when the query fails.
std::u16string BuildCpuLoadText();

// The total processor time in percent over one second; -1 when the counter
// cannot be opened or read.
double SampleProcessorTime();

// "Current CPU Usage: ...%, Average CPU Usage (last 10 minutes): ...%" and
// CR LF; takes about two seconds.
std::u16string BuildCpuUsageSummary();

} // namespace tavrel
