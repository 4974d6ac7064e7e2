// dtBIN fields read through a codec as the records use them: as a double, or
// as a 32-bit integer rounded half to even.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <vector>

namespace pondrex {

double BinField(TPelqoencode &codec, const std::vector<uint8_t> &buf, int32_t &pos, int32_t len, int32_t dec);

// A field of 0 decimals as an integer; throws std::range_error when the value
// does not fit 32 bits.
int32_t BinIntegerField(TPelqoencode &codec, const std::vector<uint8_t> &buf, int32_t &pos, int32_t len);

} // namespace pondrex
