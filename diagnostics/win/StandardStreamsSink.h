// Diagnostic lines on the program's standard error streams.
#pragma once

#include "DiagnosticSink.h"

namespace tavrel {

class StandardStreamsSink : public DiagnosticSink {
public:
  // Through std::wcerr, flushed. A character that the stream cannot convert
  // must not silence the lines that follow, so its state is cleared.
  void WriteWide(std::u16string_view text) override;
  // Through std::cerr, flushed.
  void WriteNarrow(std::string_view text) override;
};

} // namespace tavrel
