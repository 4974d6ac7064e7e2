// The IS1 weight frame that the scale sends as text, and the sales and tare
// totals that the link keeps over the frames.
//
// Plain frame, 16 bytes (q is the position of the 03 04 pair, 13 when the
// frame is well formed):
//   0 01, 1 02, 2 status, 3 sign, 4..9 weight text, 10..11 unit,
//   12 block check (XOR of bytes 2 to 11), 13 03, 14 04, 15 flag
// Extended frame, 32 bytes: the plain frame, then
//   16 0x12, 17 length, 18 decimals (BCD: price digit, total digit),
//   19..22 price, 23..26 total (binary), 27 key (255: none), 28..29 weight AD,
//   30 check character, 31 flag
// Short frame, 16 bytes: 06 followed by the first 15 bytes of a plain frame.
#pragma once

#include "TPelqoencode.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pondrex {

class TIS1 {
public:
  TIS1() = default;
  TIS1(const TIS1 &) = delete;
  TIS1 &operator=(const TIS1 &) = delete;

  // Parses one weight frame of 16 or 32 bytes; true when it parsed, and the
  // fields then hold the frame. A frame that fails keeps the fields of the
  // previous frame, except those set before the failing step.
  bool check(std::span<const uint8_t> frame);
  // Parses one short weight frame (16 bytes beginning with 06). The extension
  // fields and the totals are not touched; flag becomes 0.
  bool checkD0(std::span<const uint8_t> frame);

  TPelqoencode &Encoding() { return Encoding_; }

  const std::u16string &status() const { return fstatus; }
  const std::u16string &sign() const { return fsign; }
  const std::u16string &Weight() const { return fWeight; }
  const std::u16string &AUnit() const { return fUnit; }
  int32_t flag() const { return Fflag; }
  // The next five are carried for the driver and filled by no frame.
  const std::u16string &TareWeight() const { return FTWeight; }
  const std::u16string &CurrentAD() const { return FCurrentAD; }
  const std::u16string &TareAD() const { return FTareAD; }
  const std::u16string &OriginalAD() const { return fOriginalAD; }
  const std::u16string &ZeroAD() const { return fZeroAD; }
  const std::u16string &WeightAD() const { return fWeightAD; }
  const std::u16string &Len() const { return flen; }
  const std::u16string &Dp() const { return fdp; }
  const std::u16string &Price() const { return fprice_bin; }
  const std::u16string &Total() const { return ftotal_bin; }
  const std::u16string &Keyvalue() const { return fkeyvalue; }
  const std::u16string &Bcc() const { return fbcc; }
  // Sales counted since the last clearing key (26): frames with a sale key
  // (101 to 105) and a new total.
  int32_t Number() const { return fNumber; }
  double weightsum() const { return fweightsum; }
  // Tare collected from the frames that carry the tare flag (0x20).
  double TareWeight_RKV() const { return fTareWeight; }

private:
  bool ParseExtension(std::span<const uint8_t> b, size_t q);
  bool AccumulateSales();
  bool AccumulateTare();

  TPelqoencode Encoding_;
  // The frame being parsed, as the codec takes it; kept to reuse its room.
  std::vector<uint8_t> frameBytes_;
  std::u16string fstatus;
  std::u16string fsign;
  std::u16string fWeight;
  std::u16string fUnit;
  int32_t Fflag = 0;
  std::u16string FTWeight;
  std::u16string FCurrentAD;
  std::u16string FTareAD;
  std::u16string fOriginalAD;
  std::u16string fWeightAD;
  std::u16string fZeroAD;
  std::u16string flen;
  std::u16string fdp;
  std::u16string fprice_bin;
  std::u16string ftotal_bin;
  std::u16string fkeyvalue;
  std::u16string fbcc;
  int32_t fNumber = 0;
  std::u16string foldprice;
  double fweightsum = 0;
  double fTareWeight = 0;
  std::u16string foldweight;
};

} // namespace pondrex
