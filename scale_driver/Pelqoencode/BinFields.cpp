#include "BinFields.h"

#include "NumberText.h"

#include <stdexcept>
#include <variant>

namespace pondrex {

double BinField(TPelqoencode &codec, const std::vector<uint8_t> &buf, int32_t &pos, int32_t len,
                int32_t dec) {
  return std::get<double>(codec.BufToData(dtBIN, buf, pos, len, dec));
}

int32_t BinIntegerField(TPelqoencode &codec, const std::vector<uint8_t> &buf, int32_t &pos, int32_t len) {
  const auto value = RoundHalfEven(BinField(codec, buf, pos, len, 0));
  if (!value || *value < INT32_MIN || *value > INT32_MAX)
    throw std::range_error("integer out of range");
  return static_cast<int32_t>(*value);
}

} // namespace pondrex
