#include "TPelqoencode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "DateTimeValue.h"
#include "NumberText.h"
#include "SystemCodePage.h"

namespace pondrex {

namespace {

constexpr int32_t DoubleWidth = 8;
constexpr int32_t DateTimeWidth = 6;
constexpr int32_t DateWidth = 4;
constexpr int32_t MaxBinWidth = 8;

// True when the `width` bytes from `pos` lie inside the buffer.
bool FieldInside(size_t bufferSize, int32_t pos, int32_t width) {
  return pos >= 0 && width >= 0 && static_cast<uint64_t>(pos) + static_cast<uint64_t>(width) <= bufferSize;
}

// The start position moved on by iLen, held within the 32-bit range.
void Advance(int32_t &iStartPos, int32_t iLen) {
  const int64_t next = static_cast<int64_t>(iStartPos) + iLen;
  iStartPos = static_cast<int32_t>(
      std::clamp<int64_t>(next, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// 10 to the power `exponent` (0 and up), exact up to 10^22.
double PowerOfTen(int64_t exponent) {
  double power = 1.0;
  for (int64_t i = 0; i < exponent && power <= std::numeric_limits<double>::max(); ++i) {
    power *= 10.0;
  }
  return power;
}

double TimesPowerOfTen(double value, int32_t exponent) {
  return exponent >= 0 ? value * PowerOfTen(exponent) : value / PowerOfTen(-static_cast<int64_t>(exponent));
}

double DividedByPowerOfTen(double value, int32_t exponent) {
  return exponent >= 0 ? value / PowerOfTen(exponent) : value * PowerOfTen(-static_cast<int64_t>(exponent));
}

std::u16string BcdText(std::span<const uint8_t> bytes) {
  static constexpr char16_t Digits[] = u"0123456789ABCDEF";
  std::u16string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    text.push_back(Digits[byte >> 4]);
    text.push_back(Digits[byte & 0x0F]);
  }
  return text;
}

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') {
    return c - u'0';
  }
  if (c >= u'A' && c <= u'F') {
    return c - u'A' + 10;
  }
  if (c >= u'a' && c <= u'f') {
    return c - u'a' + 10;
  }
  return -1;
}

// The two hexadecimal digits of a BCD byte read as a decimal number; -1 when
// one of them is A-F.
int32_t BcdByteValue(uint8_t byte) {
  const int32_t high = byte >> 4;
  const int32_t low = byte & 0x0F;
  return high > 9 || low > 9 ? -1 : high * 10 + low;
}

// Packs hexadecimal digits into the field from its last byte backwards, two
// digits a byte, a single leading digit with a high nibble of 0. Stops when
// the digits are used up or the field's first byte is written; false when it
// stopped at digits that are not hexadecimal. The field lies inside `buf`.
bool PackBcd(std::u16string_view digits, std::span<uint8_t> buf, int32_t pos, int32_t width) {
  size_t remaining = digits.size();
  for (int32_t target = pos + width - 1; target >= pos && remaining > 0; --target) {
    int high = 0;
    int low = HexDigitValue(digits[remaining - 1]);
    if (remaining >= 2) {
      high = HexDigitValue(digits[remaining - 2]);
      remaining -= 2;
    } else {
      remaining -= 1;
    }
    if (high < 0 || low < 0) {
      return false;
    }
    buf[static_cast<size_t>(target)] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
}

// Spaces and control characters removed at both ends.
std::u16string_view TrimControls(std::u16string_view text) {
  while (!text.empty() && text.front() <= u' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() <= u' ') {
    text.remove_suffix(1);
  }
  return text;
}

// The leading run of "0" characters turned into "F".
std::u16string LeadingZerosToF(std::u16string_view text) {
  std::u16string result(text);
  for (char16_t &c : result) {
    if (c != u'0') {
      break;
    }
    c = u'F';
  }
  return result;
}

TDateTimeParts DateTimeOrRaise(const TVariantValue &value) {
  const auto dateTime = VariantToDateTime(value);
  const auto parts = dateTime ? DecodeDateTime(*dateTime) : std::nullopt;
  if (!parts) {
    throw EVariantCastError("Could not convert variant to date-time");
  }
  return *parts;
}

void AppendTwoDigits(std::u16string &text, int32_t value) {
  text.push_back(static_cast<char16_t>(u'0' + value / 10 % 10));
  text.push_back(static_cast<char16_t>(u'0' + value % 10));
}

} // namespace

uint32_t TPelqoencode::HextoInt(std::u16string_view hexa) {
  uint32_t value = 0;
  for (char16_t c : hexa) {
    const int digit = HexDigitValue(c);
    if (digit < 0) {
      return 0;
    }
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return value;
}

std::u16string TPelqoencode::TrimBcdText(std::u16string_view text) {
  const size_t firstNonZero = text.find_first_not_of(u'0');
  std::u16string result(firstNonZero == std::u16string_view::npos ? std::u16string_view()
                                                                  : text.substr(firstNonZero));
  for (char16_t &c : result) {
    if (c != u'F') {
      break;
    }
    c = u'0';
  }
  return result;
}

TVariantValue TPelqoencode::BufToData(TDCDataType sType, const std::vector<uint8_t> &Buf, int32_t &iStartPos,
                                      int32_t iLen, int32_t iDec) {
  TVariantValue result = std::u16string();
  switch (sType) {
  case dtBCD:
    result = BufToBcd(Buf, iStartPos, iLen);
    break;
  case dtBCDE:
    result = BufToBcde(Buf, iStartPos, iLen);
    break;
  case dtBIN:
    result = BufToBin(Buf, iStartPos, iLen, iDec);
    break;
  case dtASC:
    result = BufToAsc(Buf, iStartPos, iLen);
    break;
  case dtDATETIME:
    result = BufToDateTime(Buf, iStartPos);
    break;
  case dtDATE:
    result = BufToDate(Buf, iStartPos);
    break;
  case dtTIME:
    result = BufToTime(Buf, iStartPos, iLen);
    break;
  case dtDOUBLE:
    result = BufToDouble(Buf, iStartPos, iDec);
    break;
  case dtDBCD:
    result = BufToDbcd(Buf, iStartPos, iLen);
    break;
  case dtASCR:
  case dtBINN:
  default:
    break;
  }
  if (Isinclen) {
    Advance(iStartPos, iLen);
  }
  return result;
}

TVariantValue TPelqoencode::BufToDataArr(TDCDataType sType, std::span<const uint8_t> Buf, int32_t &iStartPos,
                                         int32_t iLen, int32_t iDec) {
  // The field's bytes as far as the range holds them.
  std::vector<uint8_t> field;
  if (iStartPos >= 0 && iLen > 0 && static_cast<size_t>(iStartPos) < Buf.size()) {
    const size_t count = std::min(static_cast<size_t>(iLen), Buf.size() - static_cast<size_t>(iStartPos));
    const auto first = Buf.begin() + iStartPos;
    field.assign(first, first + static_cast<std::ptrdiff_t>(count));
  }
  int32_t fieldPos = 0;
  TVariantValue result = BufToData(sType, field, fieldPos, iLen, iDec);
  if (Isinclen) {
    Advance(iStartPos, iLen);
  }
  return result;
}

bool TPelqoencode::DataToBuf(TDCDataType sType, const TVariantValue &sVal, std::vector<uint8_t> &Buf,
                             int32_t &iStartPos, int32_t iLen, int32_t iDec) {
  bool result = false;
  switch (sType) {
  case dtBCD:
    result = BcdToBuf(sVal, Buf, iStartPos, iLen);
    break;
  case dtBCDE:
    result = BcdeToBuf(sVal, Buf, iStartPos, iLen);
    break;
  case dtBIN:
    result = BinToBuf(sVal, Buf, iStartPos, iLen, iDec);
    break;
  case dtASC:
    result = AscToBuf(sVal, Buf, iStartPos, iLen);
    break;
  case dtDATETIME:
    result = DateTimeToBuf(sVal, Buf, iStartPos, iLen);
    break;
  case dtDATE:
    result = DateToBuf(sVal, Buf, iStartPos, iLen);
    break;
  case dtDOUBLE:
    result = DoubleToBuf(sVal, Buf, iStartPos, iLen, iDec);
    break;
  case dtDBCD:
    result = DbcdToBuf(sVal, Buf, iStartPos, iLen);
    break;
  case dtTIME:
  case dtASCR:
  case dtBINN:
  default:
    break;
  }
  if (Isinclen) {
    Advance(iStartPos, iLen);
  }
  return result;
}

bool TPelqoencode::DataToBufArr(TDCDataType sType, const TVariantValue &sVal, std::span<uint8_t> Buf,
                                int32_t &iStartPos, int32_t iLen, int32_t iDec) {
  bool result = false;
  if (FieldInside(Buf.size(), iStartPos, iLen)) {
    std::vector<uint8_t> field(static_cast<size_t>(iLen), 0);
    int32_t fieldPos = 0;
    result = DataToBuf(sType, sVal, field, fieldPos, iLen, iDec);
    std::copy(field.begin(), field.end(), Buf.begin() + iStartPos);
  }
  if (Isinclen) {
    Advance(iStartPos, iLen);
  }
  return result;
}

std::u16string TPelqoencode::BufToBcd(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return std::u16string();
  }
  return BcdText(Buf.subspan(static_cast<size_t>(iStartPos), static_cast<size_t>(iLen)));
}

std::u16string TPelqoencode::BufToDbcd(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return std::u16string();
  }
  return TrimBcdText(BcdText(Buf.subspan(static_cast<size_t>(iStartPos), static_cast<size_t>(iLen))));
}

std::u16string TPelqoencode::BufToBcde(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return std::u16string();
  }
  return TrimBcdText(BcdText(Buf.subspan(static_cast<size_t>(iStartPos), static_cast<size_t>(iLen))));
}

double TPelqoencode::BufToBin(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen, int32_t iDec) {
  if (iLen < 1 || iLen > MaxBinWidth || !FieldInside(Buf.size(), iStartPos, iLen)) {
    return 0.0;
  }
  const auto field = Buf.subspan(static_cast<size_t>(iStartPos), static_cast<size_t>(iLen));
  double value = 0.0;
  if ((field[0] & 0x80) == 0 || IsCardinal) {
    uint64_t unsignedValue = 0;
    for (uint8_t byte : field) {
      unsignedValue = unsignedValue << 8 | byte;
    }
    value = static_cast<double>(unsignedValue);
  } else {
    // Only the bytes after the first carry the magnitude; the first gives the
    // sign.
    int64_t magnitude = 0;
    for (uint8_t byte : field.subspan(1)) {
      magnitude = magnitude << 8 | (Negative ? static_cast<uint8_t>(~byte) : byte);
    }
    if (Negative) {
      magnitude += 1;
    }
    value = static_cast<double>(-magnitude);
  }
  return DividedByPowerOfTen(value, iDec);
}

std::u16string TPelqoencode::BufToAsc(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return std::u16string();
  }
  const auto field = Buf.subspan(static_cast<size_t>(iStartPos), static_cast<size_t>(iLen));
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  const std::string bytes(field.begin(), end);
  return SystemBytesToText(bytes).value_or(std::u16string());
}

TDateTime TPelqoencode::BufToDateTime(std::span<const uint8_t> Buf, int32_t iStartPos) {
  if (!FieldInside(Buf.size(), iStartPos, DateTimeWidth)) {
    return TDateTime{};
  }
  int32_t values[DateTimeWidth];
  for (int32_t i = 0; i < DateTimeWidth; ++i) {
    values[i] = BcdByteValue(Buf[static_cast<size_t>(iStartPos + i)]);
    if (values[i] < 0) {
      return TDateTime{};
    }
  }
  return EncodeDateTime({2000 + values[0], values[1], values[2], values[3], values[4], values[5], 0})
      .value_or(TDateTime{});
}

TDateTime TPelqoencode::BufToDate(std::span<const uint8_t> Buf, int32_t iStartPos) {
  if (!FieldInside(Buf.size(), iStartPos, DateWidth)) {
    return TDateTime{};
  }
  int32_t values[DateWidth];
  for (int32_t i = 0; i < DateWidth; ++i) {
    values[i] = BcdByteValue(Buf[static_cast<size_t>(iStartPos + i)]);
    if (values[i] < 0) {
      return TDateTime{};
    }
  }
  return EncodeDate(values[0] * 100 + values[1], values[2], values[3]).value_or(TDateTime{});
}

TDateTime TPelqoencode::BufToTime(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iLen) {
  const int32_t width = iLen > 2 ? 3 : 2;
  if (!FieldInside(Buf.size(), iStartPos, width)) {
    return TDateTime{};
  }
  int32_t values[3] = {0, 0, 0};
  for (int32_t i = 0; i < width; ++i) {
    values[i] = BcdByteValue(Buf[static_cast<size_t>(iStartPos + i)]);
    if (values[i] < 0) {
      return TDateTime{};
    }
  }
  return EncodeTime(values[0], values[1], values[2]).value_or(TDateTime{});
}

double TPelqoencode::BufToDouble(std::span<const uint8_t> Buf, int32_t iStartPos, int32_t iDec) {
  if (!FieldInside(Buf.size(), iStartPos, DoubleWidth)) {
    return 0.0;
  }
  uint64_t bits = 0;
  for (uint8_t byte : Buf.subspan(static_cast<size_t>(iStartPos), DoubleWidth)) {
    bits = bits << 8 | byte;
  }
  const double value = DividedByPowerOfTen(std::bit_cast<double>(bits), iDec);
  return std::isfinite(value) ? value : 0.0;
}

bool TPelqoencode::BcdToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                            int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return false;
  }
  const std::u16string text = VariantToText(sVal);
  PackBcd(TrimControls(text), Buf, iStartPos, iLen);
  return true;
}

bool TPelqoencode::DbcdToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                             int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return false;
  }
  const std::u16string text = VariantToText(sVal);
  PackBcd(LeadingZerosToF(TrimControls(text)), Buf, iStartPos, iLen);
  return true;
}

bool TPelqoencode::BcdeToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                             int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return false;
  }
  return PackBcd(LeadingZerosToF(VariantToText(sVal)), Buf, iStartPos, iLen);
}

bool TPelqoencode::DateToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                             int32_t iLen) {
  const TDateTimeParts parts = DateTimeOrRaise(sVal);
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return false;
  }
  std::u16string digits;
  AppendTwoDigits(digits, parts.Year / 100);
  AppendTwoDigits(digits, parts.Year % 100);
  AppendTwoDigits(digits, parts.Month);
  AppendTwoDigits(digits, parts.Day);
  PackBcd(digits, Buf, iStartPos, iLen);
  return true;
}

bool TPelqoencode::DateTimeToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                                 int32_t iLen) {
  const TDateTimeParts parts = DateTimeOrRaise(sVal);
  // The field holds the year as two digits after 2000; other years would
  // read back as a different date.
  if (parts.Year < 2000 || parts.Year > 2099 || !FieldInside(Buf.size(), iStartPos, iLen)) {
    return false;
  }
  std::u16string digits;
  AppendTwoDigits(digits, parts.Year % 100);
  AppendTwoDigits(digits, parts.Month);
  AppendTwoDigits(digits, parts.Day);
  AppendTwoDigits(digits, parts.Hour);
  AppendTwoDigits(digits, parts.Minute);
  AppendTwoDigits(digits, parts.Second);
  PackBcd(digits, Buf, iStartPos, iLen);
  return true;
}

bool TPelqoencode::BinToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                            int32_t iLen, int32_t iDec) {
  if (iLen < 1 || iLen > MaxBinWidth || !FieldInside(Buf.size(), iStartPos, iLen)) {
    return false;
  }
  const auto value = VariantToDouble(sVal);
  if (!value) {
    return false;
  }
  const auto rounded = RoundHalfEven(TimesPowerOfTen(*value, iDec));
  if (!rounded || *rounded < 0) {
    return false;
  }
  const auto number = static_cast<uint64_t>(*rounded);
  if (iLen < MaxBinWidth && number >> (8 * iLen) != 0) {
    return false;
  }
  for (int32_t i = 0; i < iLen; ++i) {
    Buf[static_cast<size_t>(iStartPos + i)] = static_cast<uint8_t>(number >> (8 * (iLen - 1 - i)));
  }
  return true;
}

bool TPelqoencode::AscToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                            int32_t iLen) {
  if (!FieldInside(Buf.size(), iStartPos, iLen)) {
    return false;
  }
  auto bytes = TextToSystemBytes(VariantToText(sVal));
  if (!bytes) {
    return false;
  }
  bytes->push_back('\0');
  const size_t count = std::min(bytes->size(), static_cast<size_t>(iLen));
  std::copy_n(bytes->begin(), count, Buf.begin() + iStartPos);
  return true;
}

bool TPelqoencode::DoubleToBuf(const TVariantValue &sVal, std::span<uint8_t> Buf, int32_t iStartPos,
                               int32_t /*iLen*/, int32_t iDec) {
  if (!FieldInside(Buf.size(), iStartPos, DoubleWidth)) {
    return false;
  }
  // Through the text, so the value keeps 15 significant digits.
  const auto value = TextToFloat(VariantToText(sVal));
  if (!value) {
    return false;
  }
  const double scaled = TimesPowerOfTen(*value, iDec);
  if (!std::isfinite(scaled)) {
    return false;
  }
  const auto bits = std::bit_cast<uint64_t>(scaled);
  for (int32_t i = 0; i < DoubleWidth; ++i) {
    Buf[static_cast<size_t>(iStartPos + i)] = static_cast<uint8_t>(bits >> (8 * (DoubleWidth - 1 - i)));
  }
  return true;
}

} // namespace pondrex
