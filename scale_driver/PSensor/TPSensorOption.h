// The kind of reply that the driver object decodes at the next status event
// of the link.
#pragma once

#include <cstdint>

namespace pondrex {

enum class TPSensorOption : uint8_t {
  poNull = 0, // a measurement result
  poLead,
  poOPBox,
  poTemperaturecompensate,
  poOpBoxCountryCode,
  poEcrID,
  poWDZState,
  poSensorNo,
  poScaleNo,
  poWind,
  poGetAD = 10,
};

} // namespace pondrex
