// Where collectors write their diagnostic lines: the standard error streams
// of the program, never the report. Each text carries its own line end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrel {

class DiagnosticSink {
public:
  virtual ~DiagnosticSink() = default;
  // A line for the wide standard error stream.
  virtual void WriteWide(std::u16string_view text) = 0;
  // A line for the narrow standard error stream (UTF-8 bytes).
  virtual void WriteNarrow(std::string_view text) = 0;
};

// A number in decimal digits, without sign, padding or grouping.
std::u16string DecimalText(uint64_t value);

} // namespace tavrel
