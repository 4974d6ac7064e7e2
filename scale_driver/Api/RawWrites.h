// The exports that write fixed byte strings to the scale through the link's
// raw write, without a command frame: protocol switches, the hardware
// identification request, and tare and zero by single bytes or short texts.
//
// A kind argument uses only the low 16 bits of its slot. The sleeps here do
// not pump; the waits for an answer do, so the host's callbacks may run
// inside them.
#pragma once

#include "TPSensor.h"

#include <cstdint>

namespace pondrex::api {

// Which key a tare-or-zero export presses.
enum class TScaleKey : uint8_t { Tare, Zero };

// Kind 1 "<PB>" TAB, 2 "<ZQ>" TAB, 3 "<DB>" TAB; any other kind writes
// nothing. 0 at once on an inactive link; otherwise -1 after 500 ms.
int32_t ChangeProtocol(TPSensor &sensor, uint32_t kindSlot);
// Kind 1: 01 02 "PELQO PELQO PELQO" 03 04; kind 2: 01 02 "PELQO" 03 04.
// Results and timing as ChangeProtocol.
int32_t ChangePelqoProtocol(TPSensor &sensor, uint32_t kindSlot);
// Kind 1 "SAVECURPROTOCOL", 2 "DEFAULTPROTOCOL"; sleeps 500 ms and returns
// 0. The link itself reports an inactive link to "SENSORERR".
int32_t SwitchProtocol(TPSensor &sensor, uint32_t kindSlot);
// Writes "IDENTIFY HARD" and returns 0 at once.
int32_t IdentifyHard(TPSensor &sensor);

// The single byte 0xFE (tare) or 0xFD (zero), with no wait for an answer:
// 0 at once on an inactive link, otherwise -1 after 500 ms.
int32_t KeyByte(TPSensor &sensor, TScaleKey key);
// "<TK>" TAB (tare) or "<ZK>" TAB (zero), then pumps for at most 300 ms
// until a frame of the command protocol that came after the request
// answers. 1 when the answer was not a refusal, 0 on a refusal, on no
// answer and on an inactive link; 0 with nothing written when called from a
// callback raised inside another export's wait.
int32_t KeyText(TPSensor &sensor, TScaleKey key);
// 01 FE (tare) or 01 FD (zero); waits as KeyText, sleeping 10 ms before
// each pump; then writes the same two bytes again, whatever happened.
// Always 1 (with nothing written when called from a callback raised inside
// another export's wait).
int32_t KeyPairTwice(TPSensor &sensor, TScaleKey key);

} // namespace pondrex::api
