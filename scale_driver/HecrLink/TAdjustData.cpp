#include "TAdjustData.h"

#include <exception>

namespace pondrex {

bool TAdjustData::Execute(std::vector<uint8_t> &wBuf) {
  if (FAFlag == 0)
    return true;
  if (wBuf.size() < PayloadLength || FAValue < 0 || FBValue < 0)
    return false;
  try {
    wBuf[0] = FAFlag;
    wBuf[1] = FACityID;
    int32_t pos = 2;
    if (!Encoding.DataToBuf(dtBIN, TVariantValue(FAValue), wBuf, pos, 4, 0))
      return false;
    wBuf[6] = FBCityID;
    pos = 7;
    if (!Encoding.DataToBuf(dtBIN, TVariantValue(FBValue), wBuf, pos, 4, 0))
      return false;
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

} // namespace pondrex
