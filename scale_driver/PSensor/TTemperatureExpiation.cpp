#include "TTemperatureExpiation.h"

#include "BinFields.h"

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <variant>

namespace pondrex {

bool TTemperatureExpiation::Execute(const std::vector<uint8_t> &buffer) {
  if (buffer.size() < PayloadLength)
    return false;
  try {
    TmFunFlag = buffer[0];
    LearnNum = buffer[1];
    int32_t pos = 8;
    for (TemperaturePoint &point : pot) {
      point.Value1 = BinIntegerField(Encoding, buffer, pos, 2);
      point.Value2 = BinIntegerField(Encoding, buffer, pos, 2);
      point.Value3 = BinField(Encoding, buffer, pos, 4, 2);
    }
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

} // namespace pondrex
