// A host's progress callback for firmware downloads that records every
// report it receives.
#pragma once

#include "TCallbackSlots.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pondrex::test {

struct TProgressReport {
  int32_t Current = 0;
  int32_t Total = 0;
  int32_t Status = 0;
  std::string Text;
  bool operator==(const TProgressReport &) const = default;
};

inline void PrintTo(const TProgressReport &r, std::ostream *out) {
  *out << "{" << r.Current << ", " << r.Total << ", " << r.Status << ", \"" << r.Text << "\"}";
}

inline std::vector<TProgressReport> &ProgressReports() {
  static std::vector<TProgressReport> reports;
  return reports;
}

inline void PONDREX_STDCALL RecordProgress(int32_t current, int32_t total, int32_t status, const char *text) {
  ProgressReports().push_back({current, total, status, text == nullptr ? "(null)" : text});
}

} // namespace pondrex::test
