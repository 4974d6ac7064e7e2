// Helpers of the serial component's Windows tests: pumping the test thread,
// what the process holds, and the settings the scale link uses.
#pragma once

#include "TComm.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pos::test {

// Dispatches every message queued for the calling thread, once, without waiting.
void PumpOnce();
// Pumps until done() holds or timeoutMs passed; the result of done().
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
void PumpFor(DWORD ms);

struct ProcessCounts {
  DWORD handles = 0;
  size_t threads = 0;
  size_t privateBytes = 0;
};
ProcessCounts CountProcess();

// Arrays allocated with new[] and not yet freed, process-wide: every block
// the component hands between threads is one.
long LiveArrays();

std::u16string Wide(const std::string &text);
// The line settings the scale link gives the component.
void UseScaleLinkSettings(pondrex::TComm &comm);
// count bytes running through every value, starting at first.
std::vector<uint8_t> Pattern(size_t count, uint8_t first = 0);

} // namespace pos::test
