#include "CpuLoadText.h"

#include <locale>
#include <numeric>
#include <sstream>

namespace tavrel {
namespace {

// The stream's text of a number, independent of the global locale. The
// digits, sign, point and exponent are ASCII, so each byte widens to one
// character.
std::u16string StreamText(double value) {
  std::ostringstream stream;
  stream.imbue(std::locale::classic());
  stream << value;
  const std::string narrow = stream.str();
  return std::u16string(narrow.begin(), narrow.end());
}

} // namespace

std::u16string FormatCpuLoad(double load) {
  return StreamText(load);
}

std::u16string FormatCpuUsageSummary(double current, double average) {
  return u"Current CPU Usage: " + StreamText(current) + u"%, Average CPU Usage (last 10 minutes): " +
         StreamText(average) + u"%\r\n";
}

double AverageOfSamples(const std::vector<double> &samples) {
  if (samples.empty()) {
    return 0.0;
  }
  return std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
}

} // namespace tavrel
