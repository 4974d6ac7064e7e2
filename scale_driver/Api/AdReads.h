// The exports that ask the scale for its raw converter values (AD values)
// and its version.
//
// Two of them write a short text request and wait for the link's AD text
// taken from weight frames (CurrAD, TareAD). The others write a 13-byte AD
// request frame and resend it until an AD frame answers: 'U','8' brings the
// zero AD, the version and the full AD, 'U','9' the tare AD and the zero
// AD (the receive path stores them in the link).
//
// Every wait here pumps the calling thread's messages; the sleeps of 500 ms
// and 200 ms do not.
#pragma once

#include "TPSensor.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pondrex::api {

// The most that the frame reads write into each buffer: an AD value is the
// decimal text of a 16-bit value (5 characters), the version 3 characters,
// and the zero byte.
inline constexpr size_t AdBufferRoom = 6;

// Which AD text a text request asks for.
enum class TAdText : uint8_t { Current, Tare };

// Sets the driver object's AD to 0, writes 11 "AD" (Current) or 11 "TA"
// (Tare), sleeps 500 ms, empties the link's CurrAD (resp. TareAD) and waits
// for that text, pumping and sleeping 100 ms a step. The wait ends once more
// than the link's TimeOut (ms) passed; no value then.
std::optional<std::u16string> ReadAdText(TPSensor &sensor, TAdText which);

// Each of the three frame reads: 0 on an inactive link, with nothing
// written. Otherwise the request goes out and is resent (every 200 ms,
// pumping between) until the AD frame of the kind it asks for arrived; then
// the values are written into the buffers (AdBufferRoom bytes each at most,
// a null buffer is skipped) and the result is -1. Without such an answer 0,
// and no buffer is touched.

// 'U','8' request 02, six resends of 14 bytes (an extra 0x44 in front); the
// full AD into buffer.
int32_t ReadFullAD(TPSensor &sensor, char *fullAd);
// 'U','8' request 07, five resends; zero AD, version, full AD.
int32_t ReadMultiAD(TPSensor &sensor, char *zeroAd, char *version, char *fullAd);
// 'U','9' request 04, five resends; zero AD, tare AD.
int32_t ReadTZAD(TPSensor &sensor, char *zeroAd, char *tareAd);

} // namespace pondrex::api
