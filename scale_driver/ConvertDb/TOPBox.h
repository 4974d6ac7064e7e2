// The state of an OP box: its flags, units, type, precision and gravity.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <vector>

namespace pondrex {

class TOPBox {
public:
  TOPBox() = default;
  virtual ~TOPBox() = default;
  TOPBox(const TOPBox &) = delete;
  TOPBox &operator=(const TOPBox &) = delete;

  // Decodes an OP box payload: 0 hardware, 1 softflag, 2 mainunit,
  // 3 scaletype, 4 precision (bytes; hardware comes first on the wire),
  // 5 Gravity (4 bytes, the codec's signed reading). Returns true. A
  // payload shorter than 9 bytes returns false and leaves every field as it
  // was.
  virtual bool Execute(const std::vector<uint8_t> &wBuf);

  int32_t softflag() const { return fsoftflag; }
  void Setsoftflag(int32_t value) { fsoftflag = value; }
  int32_t hardware() const { return fhardware; }
  void Sethardware(int32_t value) { fhardware = value; }
  int32_t mainunit() const { return fmainunit; }
  void Setmainunit(int32_t value) { fmainunit = value; }
  int32_t scaletype() const { return fscaletype; }
  void Setscaletype(int32_t value) { fscaletype = value; }
  int32_t precision() const { return fprecision; }
  void Setprecision(int32_t value) { fprecision = value; }
  int32_t Gravity() const { return fGravity; }
  void SetGravity(int32_t value) { fGravity = value; }

private:
  TPelqoencode Encoding;
  int32_t fsoftflag = 0;
  int32_t fhardware = 0;
  int32_t fmainunit = 0;
  int32_t fscaletype = 0;
  int32_t fprecision = 0;
  int32_t fGravity = 0;
};

} // namespace pondrex
