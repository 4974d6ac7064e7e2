// How the settings go into the driver's DCB and COMMTIMEOUTS.
#pragma once

#include "CommTypes.h"

#include <windows.h>

namespace pondrex {

// Writes the fields the settings own: BaudRate, the whole flag word (rebuilt
// from nothing, fAbortOnError never set), XonLim, XoffLim, ByteSize, Parity,
// StopBits, XonChar, XoffChar and ErrorChar. DCBlength, EofChar, EvtChar and
// the reserved fields keep the values the driver gave.
void FillDcb(DCB &dcb, const TCommSettings &settings);

// Overwrites the five time-outs.
void FillCommTimeouts(COMMTIMEOUTS &timeouts, const TCommSettings &settings);

} // namespace pondrex
