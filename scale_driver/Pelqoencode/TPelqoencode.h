#pragma once
// TPelqoencode turns fixed-width fields of a byte buffer into values and
// values into fields. A field is a type, a width in bytes (iLen), a number of
// decimals (iDec) and a start position that moves on field by field.
//
// Every read and write stays inside the buffer it is given. The bytes a
// field needs are iLen bytes from the start position, except for dtDOUBLE (8
// bytes), dtDATETIME (6), dtDATE (4, when decoding) and dtTIME (3 when iLen is
// greater than 2, else 2). A field that does not lie wholly inside the buffer,
// or has a negative position or width:
// - decodes to the type's failure value: the empty text for the text types,
//   0 for dtBIN and dtDOUBLE, the date-time 0 for the date and time types;
// - does not encode: the encoder returns false and writes nothing.
// The start position still moves on by iLen when Isinclen is set.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "VariantValue.h"

namespace pondrex {

enum TDCDataType : uint8_t {
  dtBCD,
  dtBCDE,
  dtBIN,
  dtASC,
  dtDATETIME,
  dtDATE,
  dtTIME,
  dtDOUBLE,
  dtDBCD,
  dtASCR,
  dtBINN,
};

class TPelqoencode {
public:
  TPelqoencode() = default;
  virtual ~TPelqoencode() = default;
  TPelqoencode(const TPelqoencode &) = default;
  TPelqoencode &operator=(const TPelqoencode &) = default;

  // After a field is decoded or encoded through the public operations, the
  // start position moves on by iLen.
  bool Isinclen = true;
  // dtBIN decoding of a value whose top bit is set: true = the bytes after
  // the first, inverted, plus one, negated; false = sign and magnitude.
  bool Negative = true;
  // dtBIN decoding: always unsigned.
  bool IsCardinal = false;

  // The 32-bit value of a hexadecimal text (upper or lower case digits); of a
  // longer text only the last eight digits count. A text with any other
  // character gives 0.
  static uint32_t HextoInt(std::u16string_view hexa);

  // Decodes the field at iStartPos. dtASCR, dtBINN and unknown types give the
  // empty text.
  TVariantValue BufToData(TDCDataType sType, const std::vector<uint8_t> &Buf, int32_t &iStartPos,
                          int32_t iLen, int32_t iDec);
  // The same on a caller's byte range: the field's bytes are copied out and
  // decoded at position 0. Bytes missing from the range are absent from the
  // copy, so a cut field gives the failure value.
  TVariantValue BufToDataArr(TDCDataType sType, std::span<const uint8_t> Buf, int32_t &iStartPos,
                             int32_t iLen, int32_t iDec);
  // Encodes sVal into the field at iStartPos; true when the encoder succeeded.
  // dtTIME, dtASCR, dtBINN and unknown types write nothing and give false.
  // dtDATE and dtDATETIME raise EVariantCastError when sVal is no date-time.
  bool DataToBuf(TDCDataType sType, const TVariantValue &sVal, std::vector<uint8_t> &Buf, int32_t &iStartPos,
                 int32_t iLen, int32_t iDec);
  // The same on a caller's byte range: the field is encoded into iLen zero
  // bytes, which are then all copied to the range, so the bytes that the
  // encoder leaves alone become zero. A field that does not lie inside the
  // range gives false and the range is not touched.
  bool DataToBufArr(TDCDataType sType, const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t &iStartPos,
                    int32_t iLen, int32_t iDec);

  // The per-type workers; a subclass may replace them.
  // Two upper-case hexadecimal digits per byte.
  virtual std::u16string BufToBcd(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // As dtBCDE.
  virtual std::u16string BufToDbcd(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // Big-endian integer of 1 to 8 bytes divided by 10 to the power iDec; other
  // widths give 0.
  virtual double BufToBin(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen, int32_t iDec);
  // Single-byte text of the system code page, up to the first zero byte.
  virtual std::u16string BufToAsc(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // BCD yy MM dd hh mm ss, year 2000 + yy; the date-time 0 when a digit is not
  // decimal or the date or time does not exist.
  virtual TDateTime BufToDateTime(std::span<const uint8_t> Buf, int32_t iStartPos);
  // BCD yyyy MM dd.
  virtual TDateTime BufToDate(std::span<const uint8_t> Buf, int32_t iStartPos);
  // BCD hh mm, and ss when iLen is greater than 2.
  virtual TDateTime BufToTime(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // IEEE 754 double, most significant byte first, divided by 10 to the power
  // iDec; 0 when the result is not a finite number.
  virtual double BufToDouble(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iDec);
  // BCD text with its leading zeros stripped and then its leading "F" digits
  // turned into "0".
  virtual std::u16string BufToBcde(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen);

  // The value's text, trimmed, packed as BCD; true.
  virtual bool BcdToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // As dtBCD, with the text's leading zeros turned into "F"; true.
  virtual bool DbcdToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // "yyyyMMdd" packed as BCD.
  virtual bool DateToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // "yyMMddhhmmss" packed as BCD; false, with nothing written, for years
  // outside 2000 to 2099, which the two year digits cannot carry.
  virtual bool DateTimeToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                             int32_t iLen);
  // The value times 10 to the power iDec, rounded half to even, as an unsigned
  // big-endian integer of 1 to 8 bytes. False, with nothing written, when the
  // value is no number, when the rounded value is negative, does not fit in
  // iLen bytes (0 .. 256^iLen - 1) or lies outside the 64-bit signed range,
  // and for widths outside 1 to 8.
  virtual bool BinToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos, int32_t iLen,
                        int32_t iDec);
  // The value's text in the system code page and one zero byte, at most iLen
  // bytes in all.
  virtual bool AscToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos, int32_t iLen);
  // The value through its text (15 significant digits) times 10 to the power
  // iDec as 8 IEEE 754 bytes, most significant first; false when it is no
  // finite number.
  virtual bool DoubleToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos, int32_t iLen,
                           int32_t iDec);
  // The value's text (untrimmed) with its leading zeros turned into "F",
  // packed as BCD; false when the packing met a pair that is not hexadecimal.
  virtual bool BcdeToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos, int32_t iLen);

private:
  // Leading "0" digits removed, then the leading run of "F" digits turned
  // into "0": "00F1" gives "01".
  static std::u16string TrimBcdText(std::u16string_view text);
};

} // namespace pondrex
