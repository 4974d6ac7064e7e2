// The temperature-compensation table of an OP box: a function flag, the
// number of learned points and 15 points of two values and a factor.
#pragma once

#include "TPelqoencode.h"

#include <array>
#include <cstdint>
#include <vector>

namespace pondrex {

struct TemperaturePoint {
  int32_t Value1 = 0;
  int32_t Value2 = 0;
  double Value3 = 0;
};

class TTemperatureExpiation {
public:
  static constexpr size_t PointCount = 15;
  // The four 32-byte packets of the table, gathered.
  static constexpr size_t PayloadLength = 128;

  // Decodes the table: 0 TmFunFlag, 1 LearnNum (bytes); bytes 2 to 7 are
  // not read; point i at 8 + 8i: Value1 and Value2 (2 bytes each, signed),
  // Value3 (4 bytes, signed, / 100). Returns true when all 15 points were
  // decoded; an error stops the decoding with the points read so far kept.
  // A buffer shorter than 128 bytes returns false and leaves every field as
  // it was.
  bool Execute(const std::vector<uint8_t> &buffer);

  int32_t TmFunFlag = 0;
  int32_t LearnNum = 0;
  std::array<TemperaturePoint, PointCount> pot{};
  TPelqoencode Encoding;
};

} // namespace pondrex
