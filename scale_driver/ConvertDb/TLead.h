// The seal (lead) information of a scale: a version and a date.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pondrex {

class TLead {
public:
  TLead() = default;
  virtual ~TLead() = default;
  TLead(const TLead &) = delete;
  TLead &operator=(const TLead &) = delete;

  // Decodes a seal payload of BCD fields: 0 Ver (2 bytes, kept as its four
  // hexadecimal digits), 2 Year (2 bytes), 4 Month, 5 DAY (1 byte each), the
  // date fields' digits read as decimal numbers. Returns false when a date
  // field holds a digit A-F; the fields before it keep their new values. A
  // payload shorter than 6 bytes returns false and leaves every field as it
  // was.
  virtual bool Execute(const std::vector<uint8_t> &wBuf);

  const std::u16string &Ver() const { return fVer; }
  void SetVer(std::u16string value) { fVer = std::move(value); }
  int32_t Year() const { return fYear; }
  void SetYear(int32_t value) { fYear = value; }
  int32_t Month() const { return fMonth; }
  void SetMonth(int32_t value) { fMonth = value; }
  int32_t DAY() const { return fDAY; }
  void SetDAY(int32_t value) { fDAY = value; }

private:
  TPelqoencode Encoding;
  std::u16string fVer;
  int32_t fYear = 0;
  int32_t fMonth = 0;
  int32_t fDAY = 0;
};

} // namespace pondrex
