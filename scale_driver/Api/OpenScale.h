// Opening the scale: the link is given the port and the rate and opened,
// and unless the scale has already spoken it is asked for a weight frame
// until an answer comes (a weight frame, or any frame of the command
// protocol) or the repeats are used up. OpenDevice then runs the handshake.
//
// Every wait here pumps the calling thread's messages, which is when the
// receive path takes the scale's bytes and the host's callbacks run.
#pragma once

#include "TPSensor.h"

#include <cstdint>

namespace pondrex::api {

// OpenDevice: requests 0x11, at most eight in all, more than 150 ms apart;
// then writes "PELQO" and, once the scale echoed it, the second part of the
// handshake. -1 when the link opened and a scale answered (and, when the
// scale echoed "PELQO", also echoed the second part), else 0. The link stays
// open whenever it opened.
int32_t OpenDevice(TPSensor &sensor, const char *port, int32_t rate);

// __Open: drops the partial data held, takes cmUSBPRN as cmCOM, and
// requests 05 11, then up to four times 11 and up to four times 05 11, more
// than 150 ms apart. -1 when the link opened and either a weight text came
// or the last frame taken was a protocol frame, else 0. No handshake.
int32_t OpenWithDoubleRequest(TPSensor &sensor, const char *port, int32_t rate);

} // namespace pondrex::api
