#pragma once
// Texts of the processor load: the number of report section 4 and the
// one-line usage summary. Numbers are written as a default-formatted stream
// writes them: general notation with 6 significant digits ("37", "-1",
// "12.5", "1.23457e+06").
#include <string>
#include <vector>

namespace tavrel {

// The load as report section 4 shows it, without the percent sign.
std::u16string FormatCpuLoad(double load);

// "Current CPU Usage: <current>%, Average CPU Usage (last 10 minutes): <average>%" and CR LF.
std::u16string FormatCpuUsageSummary(double current, double average);

// The arithmetic mean of the samples; the value of the only one when there is
// one. No samples give 0.
double AverageOfSamples(const std::vector<double> &samples);

} // namespace tavrel
