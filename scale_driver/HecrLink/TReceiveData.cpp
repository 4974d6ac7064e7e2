#include "TReceiveData.h"

#include "BinFields.h"

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <variant>

namespace pondrex {

namespace {

constexpr size_t HeaderLength = 8;
constexpr size_t FullLength = 16;
constexpr int32_t AdMode = 127;

bool CarriesWeights(int32_t mode) {
  return mode == 1 || mode == 2;
}

} // namespace

bool TReceiveData::Execute(const std::vector<uint8_t> &wBuf) {
  // Nothing is read unless the whole layout of this Mode arrived.
  if (wBuf.size() < HeaderLength)
    return false;
  const int32_t mode = wBuf[1];
  if ((mode == AdMode || CarriesWeights(mode)) && wBuf.size() < FullLength)
    return false;
  try {
    Encoding.Negative = false;
    FFlag = wBuf[0];
    FMode = mode;
    FAUnit = wBuf[2];
    FDecimalDigit = wBuf[3];
    int32_t pos = 4;
    FNetWeight = BinField(Encoding, wBuf, pos, 4, FDecimalDigit);

    fOldAd = 0;
    fFilterAd = 0;
    fZeroAd = 0;
    fWeightAd = 0;
    FTare = 0;
    FGrossweight = 0;
    if (FMode == AdMode) {
      for (int32_t *ad : {&fOldAd, &fFilterAd, &fZeroAd, &fWeightAd})
        *ad = BinIntegerField(Encoding, wBuf, pos, 2);
    } else if (CarriesWeights(FMode)) {
      FTare = BinField(Encoding, wBuf, pos, 4, FDecimalDigit);
      FGrossweight = BinField(Encoding, wBuf, pos, 4, FDecimalDigit);
      // Flag 201 with unit 3 or 8: tare and gross take one more division by 10; the net does not.
      if (FFlag == 201 && (FAUnit == 8 || FAUnit == 3)) {
        FTare = FTare / 10;
        FGrossweight = FGrossweight / 10;
      }
    }
  } catch (const std::exception &) {
    return false;
  }
  FIsClear = true;
  return true;
}

} // namespace pondrex
