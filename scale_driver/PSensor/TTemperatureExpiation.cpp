#include "TTemperatureExpiation.h"

#include "NumberText.h"

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <variant>

namespace pondrex {

namespace {

double Bin(TPelqoencode &codec, const std::vector<uint8_t> &buf, int32_t &pos, int32_t len, int32_t dec) {
  return std::get<double>(codec.BufToData(dtBIN, buf, pos, len, dec));
}

// A field of 0 decimals as an integer, halves to even.
int32_t BinInteger(TPelqoencode &codec, const std::vector<uint8_t> &buf, int32_t &pos, int32_t len) {
  const auto value = RoundHalfEven(Bin(codec, buf, pos, len, 0));
  if (!value || *value < INT32_MIN || *value > INT32_MAX)
    throw std::range_error("integer out of range");
  return static_cast<int32_t>(*value);
}

} // namespace

bool TTemperatureExpiation::Execute(const std::vector<uint8_t> &buffer) {
  if (buffer.size() < PayloadLength)
    return false;
  try {
    TmFunFlag = buffer[0];
    LearnNum = buffer[1];
    int32_t pos = 8;
    for (TemperaturePoint &point : pot) {
      point.Value1 = BinInteger(Encoding, buffer, pos, 2);
      point.Value2 = BinInteger(Encoding, buffer, pos, 2);
      point.Value3 = Bin(Encoding, buffer, pos, 4, 2);
    }
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

} // namespace pondrex
