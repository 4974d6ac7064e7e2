#include "ScaleReads.h"

#include "CommandSend.h"
#include "DriverText.h"
#include "SystemCodePage.h"

#include <string>

namespace pondrex::api {

namespace {

constexpr int32_t MeasurementReadID = 3;
constexpr int32_t TemperatureTableReadID = 27;
constexpr int32_t WindLevelReadID = 42;
constexpr int32_t TemperatureTablePackets = 4;
constexpr int32_t WindLevelPackets = 2;

struct TIdentityRead {
  int32_t CommandID;
  TPSensorOption Mode;
  size_t BufferRoom;
};

TIdentityRead IdentityRead(TIdentity identity) {
  switch (identity) {
  case TIdentity::EcrId:
    // No buffer export reads it; the field is 14 bytes.
    return {34, TPSensorOption::poEcrID, 15};
  case TIdentity::SensorNo:
    return {40, TPSensorOption::poSensorNo, SensorNoBufferRoom};
  case TIdentity::ScaleNo:
    return {41, TPSensorOption::poScaleNo, ScaleNoBufferRoom};
  }
  return {0, TPSensorOption::poNull, 1};
}

int32_t ReadMeasurement(TPSensor &sensor, const char *ecrId) {
  return CommandSend(sensor, MeasurementReadID, std::nullopt, TPSensorOption::poNull, {}, ecrId);
}

int32_t SendIdentityRead(TPSensor &sensor, const TIdentityRead &read, const char *ecrId) {
  sensor.SetEcrIdCode(std::u16string());
  return CommandSend(sensor, read.CommandID, std::nullopt, read.Mode, {}, ecrId);
}

} // namespace

int32_t ReadTare(TPSensor &sensor, const char *ecrId, const char16_t **tare) {
  const int32_t result = ReadMeasurement(sensor, ecrId);
  if (tare != nullptr)
    *tare = sensor.TareValue().empty() ? nullptr : sensor.TareValue().c_str();
  return result;
}

int32_t ReadTareInto(TPSensor &sensor, const char *ecrId, char *buffer) {
  if (!sensor.Wf7flg() && ReadMeasurement(sensor, ecrId) == 0)
    return 0;
  CopyToCallerBuffer(sensor.TareValue(), buffer, TareBufferRoom);
  return -1;
}

int32_t ReadIdentity(TPSensor &sensor, TIdentity identity, const char *ecrId, TLifetimeTexts &texts,
                     const char **text) {
  SendIdentityRead(sensor, IdentityRead(identity), ecrId);
  const char *kept = nullptr;
  if (!sensor.EcrIdCode().empty())
    kept = texts.Keep(TextToSystemBytes(sensor.EcrIdCode()).value_or(std::string()));
  if (text != nullptr)
    *text = kept;
  return kept != nullptr ? -1 : 0;
}

int32_t ReadIdentityInto(TPSensor &sensor, TIdentity identity, const char *ecrId, char *buffer) {
  const TIdentityRead read = IdentityRead(identity);
  if (SendIdentityRead(sensor, read, ecrId) == 0)
    return 0;
  CopyToCallerBuffer(sensor.EcrIdCode(), buffer, read.BufferRoom);
  return -1;
}

int32_t ReadWindLevel(TPSensor &sensor, const char *ecrId, char *buffer) {
  TccHecrCommand *entry = sensor.HecrLink1().GetHecrCommandFormID(WindLevelReadID);
  const std::u16string ecrIdText = DriverText(ecrId);
  for (int32_t packet = 0; packet < WindLevelPackets; ++packet)
    if (!sensor.SendExpecting(TPSensorOption::poWind, entry, {}, packet, 0, ecrIdText))
      return 0;
  return CopyToCallerBuffer(sensor.EcrIdCode(), buffer, WindLevelBufferRoom) > 1 ? -1 : 0;
}

int32_t ReadTemperatureTable(TPSensor &sensor, const char *ecrId) {
  TccHecrCommand *entry = sensor.HecrLink1().GetHecrCommandFormID(TemperatureTableReadID);
  const std::u16string ecrIdText = DriverText(ecrId);
  constexpr int32_t last = TemperatureTablePackets - 1;
  for (int32_t packet = 0; packet < last; ++packet)
    if (!sensor.SendUndecoded(entry, packet, ecrIdText))
      return 0;
  return sensor.SendExpecting(TPSensorOption::poTemperaturecompensate, entry, {}, last, 0, ecrIdText) ? -1
                                                                                                      : 0;
}

} // namespace pondrex::api
