// The scale-command exports that send one command of the command table and
// report whether the scale took it: the table of the simple ones, the
// command send they share with the others, and the exports that carry data
// (gravity adjustment, number download) or write one raw byte (zero and
// tare without a frame).
//
// Every send goes through the driver object's link on the calling thread
// and waits, pumping that thread's messages, until the scale answered, the
// retries ran out or the link refused; the callbacks of a read's reply have
// run when the call returns. Results: -1 success, 0 failure.
#pragma once

#include "TPSensor.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace pondrex::api {

// How an export puts its argument into the low 16 bits of the command code.
enum class TCommandParameter : uint8_t {
  None,        // no argument besides the ECR ID
  ByteShifted, // the low byte of the argument, times 256
  Byte,        // the low byte of the argument
  Word,        // the low 16 bits of the argument
};

// How the scale answers: an acknowledgement, or a frame with data that the
// driver object decodes under the export's reply kind.
enum class TCommandReply : uint8_t { Ack, Data };

struct TCommandExport {
  // The export's name; the same name with "__" in front is the same export
  // (except for the names that begin with "__" already).
  std::string_view Name;
  int32_t CommandID;
  TCommandParameter Parameter;
  TCommandReply Reply;
  // Data only: the reply kind under which the answer is decoded.
  TPSensorOption Mode = TPSensorOption::poNull;
};

// Every export whose whole work is one command send.
inline constexpr TCommandExport CommandExports[] = {
    {"Frequency", 2, TCommandParameter::ByteShifted, TCommandReply::Ack},
    // The measurement reply sets OpValue and TareValue and calls SENSORINFO.
    {"Weight", 3, TCommandParameter::None, TCommandReply::Data, TPSensorOption::poNull},
    {"Zero", 4, TCommandParameter::None, TCommandReply::Ack},
    {"Tare", 5, TCommandParameter::None, TCommandReply::Ack},
    {"Taref", 6, TCommandParameter::Word, TCommandReply::Ack},
    {"ZeroStudy", 9, TCommandParameter::None, TCommandReply::Ack},
    {"FullWeightStudy", 10, TCommandParameter::None, TCommandReply::Ack},
    {"FullWeightf", 12, TCommandParameter::ByteShifted, TCommandReply::Ack},
    {"PrecisionValue", 13, TCommandParameter::ByteShifted, TCommandReply::Ack},
    {"ClearTemperatureValue", 14, TCommandParameter::None, TCommandReply::Ack},
    {"TemperatureExpiation", 15, TCommandParameter::ByteShifted, TCommandReply::Ack},
    {"SetUnitValue", 16, TCommandParameter::ByteShifted, TCommandReply::Ack},
    {"LoginfactoryMode", 17, TCommandParameter::None, TCommandReply::Ack},
    {"LogoutfactoryMode", 18, TCommandParameter::None, TCommandReply::Ack},
    // The seal replies go to LEADINFO.
    {"Getleadinfo", 19, TCommandParameter::None, TCommandReply::Data, TPSensorOption::poLead},
    {"GetleadinfoEx", 20, TCommandParameter::None, TCommandReply::Data, TPSensorOption::poLead},
    {"UnlockSafe", 21, TCommandParameter::None, TCommandReply::Ack},
    {"lockSafe", 22, TCommandParameter::None, TCommandReply::Ack},
    // The OP box state goes to OPBOXINFO.
    {"GetOpBoxInfo", 23, TCommandParameter::None, TCommandReply::Data, TPSensorOption::poOPBox},
    {"Rehab", 24, TCommandParameter::None, TCommandReply::Ack},
    {"study25weight", 25, TCommandParameter::None, TCommandReply::Ack},
    {"Clearparameter", 26, TCommandParameter::None, TCommandReply::Ack},
    {"LinearityStudy", 28, TCommandParameter::None, TCommandReply::Ack},
    // The country code goes to OPBOXCOUNTRYCODEINFO.
    {"GetOpBoxCountryCode", 29, TCommandParameter::None, TCommandReply::Data,
     TPSensorOption::poOpBoxCountryCode},
    {"SetOpBoxCountryCode", 30, TCommandParameter::ByteShifted, TCommandReply::Ack},
    {"SetWindLevel", 31, TCommandParameter::Byte, TCommandReply::Ack},
    {"ResetOrigin", 32, TCommandParameter::None, TCommandReply::Ack},
    {"ExitTare", 37, TCommandParameter::None, TCommandReply::Ack},
    {"__study13weight", 43, TCommandParameter::None, TCommandReply::Ack},
    {"__study23weight", 44, TCommandParameter::None, TCommandReply::Ack},
};

// The row of the export name; a name that has no row does not compile where
// it is looked up at compile time.
consteval const TCommandExport &CommandExportNamed(std::string_view name) {
  for (const TCommandExport &row : CommandExports)
    if (row.Name == name)
      return row;
  throw "no command export of that name";
}

// The value that row puts into the low 16 bits of the code, from the
// argument's slot.
uint16_t CommandParameter(TCommandParameter form, uint32_t slot);

// The command send: looks the command up by its ID; when parameter is given,
// sets the entry's Orflag and Orvalue to it (they stay so after the send);
// for a read sets the reply kind; sends payload (none when empty) with
// packet number 0 for the scale ecrId. -1 when the link's send succeeded,
// else 0. A read's reply kind does not outlive the send.
int32_t CommandSend(TPSensor &sensor, int32_t commandID, std::optional<uint16_t> parameter,
                    std::optional<TPSensorOption> readKind, std::span<const uint8_t> payload,
                    const char *ecrId);

// The export of row: its argument slot (ignored without a parameter) and the
// ECR ID.
int32_t SendCommandExport(TPSensor &sensor, const TCommandExport &row, uint32_t parameterSlot,
                          const char *ecrId);

// Adjust: stores the five values in AdjustData1 (the flag and the city IDs
// from the low bytes of their slots), lets it encode the 11-byte payload and
// sends command 11 with it. 0 with nothing sent when the record refuses the
// values.
int32_t Adjust(TPSensor &sensor, uint32_t aFlagSlot, uint32_t aCityIdSlot, int32_t aValue,
               uint32_t bCityIdSlot, int32_t bValue, const char *ecrId);

// The number downloads: the bytes of number, unconverted, in a zero-filled
// field of 12 (sensor number, command 38) or 13 bytes (scale number, 39); a
// longer number is cut to the field.
inline constexpr size_t SensorNoField = 12;
inline constexpr size_t ScaleNoField = 13;
int32_t SetSensorNo(TPSensor &sensor, const char *number, const char *ecrId);
int32_t SetScaleNo(TPSensor &sensor, const char *number, const char *ecrId);

// __Zero (0xFD) and __Tare (0xFE): writes the byte unframed and waits, in at
// most 101 sleeps of 5 ms with a pump after each but the last, for a frame
// of the command protocol that came after the byte. -1 when one came and it
// was no refusal; 0 on an inactive link (nothing written, nothing reported),
// when called from a callback raised inside another export's wait (nothing
// written), without an answer, and on a refusal (whose code the receive path
// reports).
inline constexpr uint8_t RawZeroByte = 0xFD;
inline constexpr uint8_t RawTareByte = 0xFE;
int32_t RawZeroOrTare(TPSensor &sensor, uint8_t rawByte);

} // namespace pondrex::api
