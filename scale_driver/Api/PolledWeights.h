// The exports that hand out the weight texts that the driver object keeps:
// the text of the last IS1 weight frame (Is1Value) and the text of the last
// decoded measurement (OpValue), each handed out once, and the two that ask
// the scale for a fresh weight frame and return it.
//
// Every wait here pumps the calling thread's messages, which is when the
// receive path takes the scale's bytes and the driver object updates its
// texts; the host's callbacks may run inside them. No value means no text.
#pragma once

#include "TPSensor.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pondrex::api {

// The most that TakeWeightTextInto writes: the longest weight text that the
// receive path makes (34 characters) and its zero byte.
inline constexpr size_t WeightBufferRoom = 35;

// The weight text, waiting (pumping) at most 150 ms for one when none is
// held; the held text is emptied either way, so each is handed out once.
std::optional<std::u16string> TakeWeightText(TPSensor &sensor);
// Waits (pumping) at most 1000 ms for a weight text, writes it with its zero
// byte into buffer (35 bytes at most, cut at a character boundary), empties
// it and returns -1; 0 when none came, with the buffer untouched. A null
// buffer is not written: 0, and the text stays for a later call.
int32_t TakeWeightTextInto(TPSensor &sensor, char *buffer);
// As TakeWeightText, on the measurement text.
std::optional<std::u16string> TakeMeasurementText(TPSensor &sensor);

// Empties the weight text and writes the weight request 0x11, again each
// time more than 150 ms passed without an answer, eight times at most,
// pumping in between; stops when the link is not active. The answer stays
// held, so a TakeWeightText right after hands it out once more.
std::optional<std::u16string> RequestWeight(TPSensor &sensor);
// The same with the double request 05 11 (five times at most), then the
// single request (four times at most), sleeping 10 ms before each pump.
std::optional<std::u16string> RequestWeightTwoPhases(TPSensor &sensor);

} // namespace pondrex::api
