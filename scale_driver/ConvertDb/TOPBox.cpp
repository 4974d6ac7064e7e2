#include "TOPBox.h"

#include "NumberText.h"

#include <cstdint>
#include <exception>
#include <variant>

namespace pondrex {

namespace {

constexpr size_t PayloadLength = 9;

} // namespace

bool TOPBox::Execute(const std::vector<uint8_t> &wBuf) {
  if (wBuf.size() < PayloadLength)
    return false;
  fhardware = wBuf[0];
  fsoftflag = wBuf[1];
  fmainunit = wBuf[2];
  fscaletype = wBuf[3];
  fprecision = wBuf[4];
  try {
    int32_t pos = 5;
    const auto gravity = RoundHalfEven(std::get<double>(Encoding.BufToData(dtBIN, wBuf, pos, 4, 0)));
    if (!gravity || *gravity < INT32_MIN || *gravity > INT32_MAX)
      return false;
    fGravity = static_cast<int32_t>(*gravity);
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

} // namespace pondrex
