#include "TReceiveData.h"

#include "NumberText.h"

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
    FNetWeight = Bin(Encoding, wBuf, pos, 4, FDecimalDigit);

    fOldAd = 0;
    fFilterAd = 0;
    fZeroAd = 0;
    fWeightAd = 0;
    FTare = 0;
    FGrossweight = 0;
    if (FMode == AdMode) {
      for (int32_t *ad : {&fOldAd, &fFilterAd, &fZeroAd, &fWeightAd})
        *ad = BinInteger(Encoding, wBuf, pos, 2);
    } else if (CarriesWeights(FMode)) {
      FTare = Bin(Encoding, wBuf, pos, 4, FDecimalDigit);
      FGrossweight = Bin(Encoding, wBuf, pos, 4, FDecimalDigit);
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
