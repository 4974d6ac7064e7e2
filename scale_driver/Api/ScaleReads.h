// The scale-command exports that bring data back: the tare read, the
// identity reads (ECR ID, sensor number, scale number), the wind level and
// the OP box temperature-compensation table.
//
// Only the scale's own answer to a read is decoded. A refusal, any other
// answer or silence makes the read fail and delivers nothing: no callback,
// no text, the caller's buffer untouched; and the reply kind that the read
// armed is gone when it returns, so that the next frame is not taken for the
// missing answer.
#pragma once

#include "CallerText.h"
#include "TPSensor.h"

#include <cstddef>
#include <cstdint>

namespace pondrex::api {

// The most that each buffer export writes, its zero byte included. The tare
// text is a number in the general format (at most 23 characters), so 32
// bytes hold it with room to spare.
inline constexpr size_t TareBufferRoom = 32;
inline constexpr size_t SensorNoBufferRoom = 13;
inline constexpr size_t ScaleNoBufferRoom = 14;
inline constexpr size_t WindLevelBufferRoom = 15;

// ReadTare: sends the measurement read (command 3); whatever its result,
// *tare (when tare is not null) receives the driver object's own tare text,
// or null when that is empty. The result of the send.
int32_t ReadTare(TPSensor &sensor, const char *ecrId, const char16_t **tare);
// __ReadTare: once a weight frame has carried a tare (Wf7flg), copies the
// tare text into buffer without sending; otherwise sends the measurement read
// and copies the tare that its reply brought. At most TareBufferRoom bytes.
// 0, with the buffer untouched, when the read failed.
int32_t ReadTareInto(TPSensor &sensor, const char *ecrId, char *buffer);

enum class TIdentity : uint8_t {
  EcrId,    // command 34, a field of 14 bytes
  SensorNo, // command 40, 12 bytes
  ScaleNo,  // command 41, 13 bytes
};

// GetEcrId, __GetEcrId, GetSensorNo, GetScaleNo: clears EcrIdCode and reads
// it. When a text came back, *text receives its system code page form, kept
// in texts for the life of the process, and the result is -1; otherwise
// *text receives null and the result is 0. The result says whether a text
// came back, not whether the command succeeded.
int32_t ReadIdentity(TPSensor &sensor, TIdentity identity, const char *ecrId, TLifetimeTexts &texts,
                     const char **text);
// __GetSensorNo, __GetScaleNo: the same read; on success the text goes into
// buffer (at most SensorNoBufferRoom or ScaleNoBufferRoom bytes) and the
// result is -1, also for an empty number. 0, with the buffer untouched, when
// the read failed.
int32_t ReadIdentityInto(TPSensor &sensor, TIdentity identity, const char *ecrId, char *buffer);

// __GetWindLevel: reads packets 0 and 1 of command 42, each decoded as the
// wind level, and copies the level's text into buffer (at most
// WindLevelBufferRoom bytes). -1 when a level came; 0, with the buffer
// untouched, when a packet failed (packet 1 is not sent when packet 0
// failed).
int32_t ReadWindLevel(TPSensor &sensor, const char *ecrId, char *buffer);

// Temperatureex: reads packets 0 to 3 of command 27, stopping at the first
// that fails (result 0). The link collects the four answers; only the
// complete table is decoded, after packet 3, and goes to TEMCOMPENSATEINFO.
// The answers to packets 0 to 2 reach no decoder.
int32_t ReadTemperatureTable(TPSensor &sensor, const char *ecrId);

} // namespace pondrex::api
