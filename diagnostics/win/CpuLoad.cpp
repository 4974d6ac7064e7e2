#include "CpuLoad.h"

#include <windows.h>

#include <pdh.h>

#include <chrono>
#include <thread>
#include <vector>

#include "CpuLoadText.h"
#include "WmiQueries.h"

namespace tavrel {
namespace {

// One live-data performance query, closed when it goes out of scope.
class PdhQuery {
public:
  PdhQuery() {
    if (PdhOpenQueryW(nullptr, 0, &query_) != ERROR_SUCCESS) {
      query_ = nullptr;
    }
  }
  PdhQuery(const PdhQuery &) = delete;
  PdhQuery &operator=(const PdhQuery &) = delete;
  ~PdhQuery() {
    if (query_ != nullptr) {
      PdhCloseQuery(query_);
    }
  }
  PDH_HQUERY Get() const { return query_; }

private:
  PDH_HQUERY query_ = nullptr;
};

// Sleeps the whole second, also when the sleep is cut short.
void WaitOneSecond() {
  std::this_thread::sleep_for(std::chrono::seconds(1));
}

} // namespace

std::u16string BuildCpuLoadText() {
  return FormatCpuLoad(QueryCpuLoadPercentage());
}

double SampleProcessorTime() {
  constexpr double Unavailable = -1;
  PdhQuery query;
  if (query.Get() == nullptr) {
    return Unavailable;
  }
  PDH_HCOUNTER counter = nullptr;
  if (PdhAddCounterW(query.Get(), L"\\Processor(_Total)\\% Processor Time", 0, &counter) != ERROR_SUCCESS) {
    return Unavailable;
  }
  if (PdhCollectQueryData(query.Get()) != ERROR_SUCCESS) {
    return Unavailable;
  }
  WaitOneSecond();
  if (PdhCollectQueryData(query.Get()) != ERROR_SUCCESS) {
    return Unavailable;
  }
  PDH_FMT_COUNTERVALUE value{};
  if (PdhGetFormattedCounterValue(counter, PDH_FMT_DOUBLE, nullptr, &value) != ERROR_SUCCESS) {
    return Unavailable;
  }
  return value.doubleValue;
}

std::u16string BuildCpuUsageSummary() {
  // The average covers the samples of the last ten minutes that this call
  // has taken: the one current sample.
  const double current = SampleProcessorTime();
  const std::vector<double> samples{current};
  const std::u16string text = FormatCpuUsageSummary(current, AverageOfSamples(samples));
  WaitOneSecond();
  return text;
}

} // namespace tavrel
