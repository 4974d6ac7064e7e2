// The measurement result that the scale sends as the reply to a
// read-measurement command, or by itself: weights and, in the A/D mode, the
// raw converter values.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <vector>

namespace pondrex {

class TReceiveData {
public:
  TReceiveData() = default;
  virtual ~TReceiveData() = default;
  TReceiveData(const TReceiveData &) = delete;
  TReceiveData &operator=(const TReceiveData &) = delete;

  // Decodes a measurement payload:
  //   0 Flag, 1 Mode, 2 AUnit, 3 DecimalDigit (bytes),
  //   4 NetWeight (4 bytes, sign and magnitude, / 10^DecimalDigit);
  //   Mode 127: 8, 10, 12, 14 OldAd, FilterAd, ZeroAd, WeightAd (2 bytes each);
  //   Mode 1 or 2: 8 Tare, 12 Grossweight (4 bytes each, / 10^DecimalDigit,
  //   and / 10 once more when Flag is 201 and AUnit is 3 or 8).
  // The fields that the Mode does not carry become 0. Returns true and sets
  // IsClear. A payload shorter than its layout (8 bytes; 16 for Mode 1, 2
  // and 127) returns false and leaves every field as it was.
  virtual bool Execute(const std::vector<uint8_t> &wBuf);

  int32_t Mode() const { return FMode; }
  void SetMode(int32_t value) { FMode = value; }
  uint8_t Flag() const { return FFlag; }
  void SetFlag(uint8_t value) { FFlag = value; }
  int32_t AUnit() const { return FAUnit; }
  void SetAUnit(int32_t value) { FAUnit = value; }
  int32_t DecimalDigit() const { return FDecimalDigit; }
  void SetDecimalDigit(int32_t value) { FDecimalDigit = value; }
  double NetWeight() const { return FNetWeight; }
  void SetNetWeight(double value) { FNetWeight = value; }
  double Tare() const { return FTare; }
  void SetTare(double value) { FTare = value; }
  double Grossweight() const { return FGrossweight; }
  void SetGrossweight(double value) { FGrossweight = value; }
  int32_t OldAd() const { return fOldAd; }
  void SetOldAd(int32_t value) { fOldAd = value; }
  int32_t FilterAd() const { return fFilterAd; }
  void SetFilterAd(int32_t value) { fFilterAd = value; }
  int32_t ZeroAd() const { return fZeroAd; }
  void SetZeroAd(int32_t value) { fZeroAd = value; }
  int32_t WeightAd() const { return fWeightAd; }
  void SetWeightAd(int32_t value) { fWeightAd = value; }
  // True once a measurement has been decoded.
  bool IsClear() const { return FIsClear; }
  void SetIsClear(bool value) { FIsClear = value; }

private:
  TPelqoencode Encoding;
  int32_t FMode = 0;
  uint8_t FFlag = 0;
  int32_t FAUnit = 0;
  int32_t FDecimalDigit = 0;
  double FNetWeight = 0;
  double FTare = 0;
  double FGrossweight = 0;
  int32_t fOldAd = 0;
  int32_t fFilterAd = 0;
  int32_t fZeroAd = 0;
  int32_t fWeightAd = 0;
  bool FIsClear = false;
};

} // namespace pondrex
