#include "CommandSend.h"

#include "DriverText.h"
#include "PumpWait.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace pondrex::api {

namespace {

constexpr int32_t GravityAdjustID = 11;
constexpr int32_t SensorNoDownloadID = 38;
constexpr int32_t ScaleNoDownloadID = 39;
// The record encodes into a buffer one byte longer than what is sent.
constexpr size_t AdjustBufferSize = 12;
constexpr uint32_t RawWaitSleepMs = 5;
constexpr int32_t RawWaitPumps = 100;

int32_t Result(bool ok) {
  return ok ? -1 : 0;
}

int32_t SendNumber(TPSensor &sensor, int32_t commandID, size_t field, const char *number, const char *ecrId) {
  std::vector<uint8_t> payload(field, 0);
  if (number != nullptr) {
    const size_t length = std::min(std::strlen(number), field);
    std::memcpy(payload.data(), number, length);
  }
  return CommandSend(sensor, commandID, std::nullopt, std::nullopt, payload, ecrId);
}

} // namespace

uint16_t CommandParameter(TCommandParameter form, uint32_t slot) {
  switch (form) {
  case TCommandParameter::None:
    return 0;
  case TCommandParameter::ByteShifted:
    return static_cast<uint16_t>((slot & 0xFF) << 8);
  case TCommandParameter::Byte:
    return static_cast<uint16_t>(slot & 0xFF);
  case TCommandParameter::Word:
    return static_cast<uint16_t>(slot & 0xFFFF);
  }
  return 0;
}

int32_t CommandSend(TPSensor &sensor, int32_t commandID, std::optional<uint16_t> parameter,
                    std::optional<TPSensorOption> readKind, std::span<const uint8_t> payload,
                    const char *ecrId) {
  THecrLink &link = sensor.HecrLink1();
  TccHecrCommand *entry = link.GetHecrCommandFormID(commandID);
  if (entry != nullptr && parameter) {
    entry->SetOrflag(true);
    entry->SetOrvalue(*parameter);
  }
  const std::u16string ecrIdText = DriverText(ecrId);
  const auto length = static_cast<int32_t>(payload.size());
  if (readKind)
    return Result(sensor.SendExpecting(*readKind, entry, payload, 0, length, ecrIdText));
  return Result(link.SendBuffer(entry, payload, 0, length, ecrIdText));
}

int32_t SendCommandExport(TPSensor &sensor, const TCommandExport &row, uint32_t parameterSlot,
                          const char *ecrId) {
  std::optional<uint16_t> parameter;
  if (row.Parameter != TCommandParameter::None)
    parameter = CommandParameter(row.Parameter, parameterSlot);
  std::optional<TPSensorOption> readKind;
  if (row.Reply == TCommandReply::Data)
    readKind = row.Mode;
  return CommandSend(sensor, row.CommandID, parameter, readKind, {}, ecrId);
}

int32_t Adjust(TPSensor &sensor, uint32_t aFlagSlot, uint32_t aCityIdSlot, int32_t aValue,
               uint32_t bCityIdSlot, int32_t bValue, const char *ecrId) {
  TAdjustData &record = sensor.AdjustData1();
  record.SetAFlag(static_cast<uint8_t>(aFlagSlot));
  record.SetACityID(static_cast<uint8_t>(aCityIdSlot));
  record.SetAValue(aValue);
  record.SetBCityID(static_cast<uint8_t>(bCityIdSlot));
  record.SetBValue(bValue);
  std::vector<uint8_t> buffer(AdjustBufferSize, 0);
  if (!record.Execute(buffer))
    return 0;
  return CommandSend(sensor, GravityAdjustID, std::nullopt, std::nullopt,
                     std::span<const uint8_t>(buffer).first(TAdjustData::PayloadLength), ecrId);
}

int32_t SetSensorNo(TPSensor &sensor, const char *number, const char *ecrId) {
  return SendNumber(sensor, SensorNoDownloadID, SensorNoField, number, ecrId);
}

int32_t SetScaleNo(TPSensor &sensor, const char *number, const char *ecrId) {
  return SendNumber(sensor, ScaleNoDownloadID, ScaleNoField, number, ecrId);
}

int32_t RawZeroOrTare(TPSensor &sensor, uint8_t rawByte) {
  THecrLink &link = sensor.HecrLink1();
  if (!link.Active())
    return 0;
  // Called from a callback raised inside another wait: nothing is written.
  const THecrLink::TRawAnswerWait wait(link);
  if (!wait.Started())
    return 0;
  const char byte = static_cast<char>(rawByte);
  link.write(std::string_view(&byte, 1), 1);
  IPlatform &platform = sensor.Platform();
  // 100 passes of 5 ms that end early when an answer comes, then one more
  // 5 ms pause.
  int32_t passes = 0;
  while (!wait.Over()) {
    if (++passes > RawWaitPumps) {
      platform.Sleep(RawWaitSleepMs);
      break;
    }
    PumpStep(platform, RawWaitSleepMs, [&wait] { return wait.Over(); });
  }
  return Result(wait.Answered() && !wait.Refused());
}

} // namespace pondrex::api
