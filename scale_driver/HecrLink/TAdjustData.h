// The payload of the gravity-adjust command: two city IDs with their gravity
// values, written by the caller into the properties before Execute.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <vector>

namespace pondrex {

class TAdjustData {
public:
  // Bytes that Execute writes.
  static constexpr size_t PayloadLength = 11;

  TAdjustData() = default;
  virtual ~TAdjustData() = default;
  TAdjustData(const TAdjustData &) = delete;
  TAdjustData &operator=(const TAdjustData &) = delete;

  // Writes from offset 0 of wBuf: 0 AFlag, 1 ACityID (bytes), 2 AValue
  // (4 bytes, big-endian), 6 BCityID (byte), 7 BValue (4 bytes). With AFlag
  // 0 nothing is written and the result is true. Otherwise the result is
  // false, and nothing is written, when wBuf holds fewer than 11 bytes or
  // when AValue or BValue is negative (a gravity value never is, and 4
  // bytes cannot carry one); else the 11 bytes are written and the result
  // is true.
  virtual bool Execute(std::vector<uint8_t> &wBuf);

  uint8_t AFlag() const { return FAFlag; }
  void SetAFlag(uint8_t value) { FAFlag = value; }
  uint8_t ACityID() const { return FACityID; }
  void SetACityID(uint8_t value) { FACityID = value; }
  int32_t AValue() const { return FAValue; }
  void SetAValue(int32_t value) { FAValue = value; }
  uint8_t BCityID() const { return FBCityID; }
  void SetBCityID(uint8_t value) { FBCityID = value; }
  int32_t BValue() const { return FBValue; }
  void SetBValue(int32_t value) { FBValue = value; }

private:
  TPelqoencode Encoding;
  uint8_t FAFlag = 0;
  uint8_t FACityID = 0;
  int32_t FAValue = 0;
  uint8_t FBCityID = 0;
  int32_t FBValue = 0;
};

} // namespace pondrex
