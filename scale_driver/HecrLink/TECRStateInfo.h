// The state of a label scale: its flag, ECR ID and country code, with the
// country's name.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pondrex {

class TECRStateInfo {
public:
  // Shows an error's message text to the user and returns when it has been
  // acknowledged (a modal message box in the product).
  using TErrorBox = std::function<void(const std::u16string &message)>;

  TECRStateInfo() = default;
  virtual ~TECRStateInfo() = default;
  TECRStateInfo(const TECRStateInfo &) = delete;
  TECRStateInfo &operator=(const TECRStateInfo &) = delete;

  // Decodes a label-scale state payload: 0 Flag (byte), 7 EcrIdChar (16
  // bytes of text up to the first zero byte), 25 Country (byte); then sets
  // Countrychar from Country, keeping the earlier name for an unknown code.
  // Returns true. A payload shorter than 26 bytes returns false and leaves
  // every field as it was. An error raised while decoding is shown through
  // the error box, and the result is false.
  virtual bool Execute(const std::vector<uint8_t> &wBuf);

  // Where errors are shown; without one they are only reported by the result.
  void SetErrorBox(TErrorBox errorBox) { FErrorBox = std::move(errorBox); }

  uint8_t Flag() const { return FFlag; }
  void SetFlag(uint8_t value) { FFlag = value; }
  const std::u16string &EcrIdChar() const { return FEcrIdChar; }
  void SetEcrIdChar(std::u16string value) { FEcrIdChar = std::move(value); }
  int32_t Country() const { return FCountry; }
  void SetCountry(int32_t value) { FCountry = value; }
  const std::u16string &Countrychar() const { return FCountrychar; }
  void SetCountrychar(std::u16string value) { FCountrychar = std::move(value); }

private:
  TPelqoencode Encoding;
  uint8_t FFlag = 0;
  std::u16string FEcrIdChar;
  int32_t FCountry = 0;
  std::u16string FCountrychar;
  TErrorBox FErrorBox;
};

} // namespace pondrex
