#pragma once
// WMI queries of the local namespace ROOT\CIMV2. Each query opens its own
// connection on the calling thread, runs one WQL query, builds its result and
// closes everything before it returns. A failing step writes its message and
// the result code to the standard error stream and gives the placeholder:
// " " for the texts, -1 for the processor load.
#include <windows.h>

#include <oleauto.h>

#include <string>

#include "WmiValue.h"

namespace tavrel {

// One block per installed printer; empty when there is none.
std::u16string QueryPrinters();
// One row per queued print job; empty when there is none.
std::u16string QueryPrintJobs();
// The load of the first processor that reports one, in percent.
double QueryCpuLoadPercentage();
// "GPU" followed by one block per video controller.
std::u16string QueryVideoControllers();

// A new BSTR holding the whole single-byte text (system ANSI code page);
// null when it cannot be made. The caller frees it with SysFreeString.
BSTR AnsiToBstr(const char *text);
// True for a null BSTR and one of length 0.
bool IsBstrEmpty(BSTR text);
// The text of a VT_BSTR value (empty for a null BSTR); empty for every other type.
std::u16string VariantToText(const VARIANT &value);
// The value as the report reads it: a text, a boolean or a number of up to
// 32 bits, each only when the VARIANT holds that type; none otherwise.
WmiValue ReadWmiValue(const VARIANT &value);

} // namespace tavrel
