#include "TPelqoencode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace pondrex {
namespace {

using Bytes = std::vector<uint8_t>;

// "12 34 AB" to its bytes.
Bytes Hex(const char *text) {
  Bytes bytes;
  unsigned value = 0;
  int used = 0;
  while (std::sscanf(text, " %2x%n", &value, &used) == 1) {
    bytes.push_back(static_cast<uint8_t>(value));
    text += used;
  }
  return bytes;
}

std::string Describe(const TVariantValue &value) {
  if (const auto *text = std::get_if<std::u16string>(&value)) {
    return "text \"" + std::string(text->begin(), text->end()) + "\"";
  }
  if (const auto *number = std::get_if<int32_t>(&value)) {
    return "integer " + std::to_string(*number);
  }
  if (const auto *number = std::get_if<double>(&value)) {
    return "double " + std::to_string(*number);
  }
  return "date-time " + std::to_string(std::get<TDateTime>(value).Value);
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
const TDateTime kMay17{45429.0};
const TDateTime kMay17Afternoon{45429.0 + 49530.0 / 86400.0}; // 13:45:30
const TDateTime NoDateTime{0.0};

enum BinMode { Twos, SignMagnitude, Cardinal };

struct DecodeCase {
  TDCDataType type;
  const char *bytes;
  int32_t len;
  int32_t dec;
  BinMode mode;
  TVariantValue expected;
};

TEST(TPelqoencode, DecodesEveryTypeAtItsEdges) {
  const DecodeCase cases[] = {
      {dtBCD, "12 34", 2, 0, Twos, u"1234"},
      {dtBCD, "0A FF", 2, 0, Twos, u"0AFF"},
      {dtBCD, "00 01", 2, 0, Twos, u"0001"},
      {dtBCDE, "00 12", 2, 0, Twos, u"12"},
      {dtBCDE, "FF 12", 2, 0, Twos, u"0012"},
      {dtBCDE, "00 00", 2, 0, Twos, u""},
      // Zeros go first, then only the front "F" run of what is left.
      {dtBCDE, "00 F1", 2, 0, Twos, u"01"},
      {dtBCDE, "F0 F1", 2, 0, Twos, u"00F1"},
      {dtDBCD, "00 00", 2, 0, Twos, u""},
      {dtDBCD, "FF 12", 2, 0, Twos, u"0012"},
      {dtASC, "41 42 00 43", 4, 0, Twos, u"AB"},
      {dtASC, "41 42 43 44", 4, 0, Twos, u"ABCD"},
      {dtASC, "00 41", 2, 0, Twos, u""},
      {dtBIN, "00 00 01 F4", 4, 2, Twos, 5.0},
      {dtBIN, "12 34", 2, 2, Twos, 46.6},
      {dtBIN, "00 7B", 2, -1, Twos, 1230.0},
      {dtBIN, "FF FF FF FE", 4, 0, Twos, -2.0},
      // The first byte gives only the sign.
      {dtBIN, "FE FF FF FE", 4, 0, Twos, -2.0},
      {dtBIN, "80 00 00 05", 4, 0, SignMagnitude, -5.0},
      {dtBIN, "FF FF FF FE", 4, 0, Cardinal, 4294967294.0},
      {dtBIN, "7F", 1, 0, Twos, 127.0},
      {dtBIN, "80", 1, 0, Twos, -1.0},
      {dtBIN, "F6", 1, 0, Twos, -1.0},
      {dtBIN, "FF", 1, 0, Twos, -1.0},
      {dtBIN, "80", 1, 0, SignMagnitude, 0.0},
      {dtBIN, "FF", 1, 0, SignMagnitude, 0.0},
      {dtBIN, "80", 1, 0, Cardinal, 128.0},
      {dtBIN, "7F FF FF FF FF FF FF FF", 8, 0, Twos, 9223372036854775807.0},
      {dtBIN, "FF FF FF FF FF FF FF FF", 8, 0, Cardinal, 18446744073709551615.0},
      {dtBIN, "FF 00 00 00 00 00 00 00", 8, 0, Twos, -72057594037927936.0},
      {dtBIN, "", 0, 0, Twos, 0.0},
      {dtBIN, "00 00 00 00 00 00 00 00 01", 9, 0, Twos, 0.0},
      {dtDOUBLE, "40 09 21 FB 54 44 2D 18", 8, 0, Twos, 3.141592653589793},
      {dtDOUBLE, "40 59 00 00 00 00 00 00", 8, 2, Twos, 1.0},
      {dtDOUBLE, "7F F8 00 00 00 00 00 00", 8, 0, Twos, 0.0},
      {dtDOUBLE, "7F F0 00 00 00 00 00 00", 8, 0, Twos, 0.0},
      {dtDOUBLE, "7F EF FF FF FF FF FF FF", 8, -1, Twos, 0.0},
      {dtDATE, "20 24 05 17", 4, 0, Twos, kMay17},
      {dtDATE, "20 24 02 30", 4, 0, Twos, NoDateTime},
      {dtDATE, "20 2A 05 17", 4, 0, Twos, NoDateTime},
      {dtDATE, "00 00 01 01", 4, 0, Twos, NoDateTime},
      {dtDATETIME, "24 05 17 13 45 30", 6, 0, Twos, kMay17Afternoon},
      {dtDATETIME, "24 00 17 13 45 30", 6, 0, Twos, NoDateTime},
      {dtDATETIME, "24 05 00 13 45 30", 6, 0, Twos, NoDateTime},
      {dtDATETIME, "24 05 17 24 00 00", 6, 0, Twos, NoDateTime},
      {dtDATETIME, "24 05 17 13 4A 30", 6, 0, Twos, NoDateTime},
      {dtTIME, "13 45", 2, 0, Twos, TDateTime{49500.0 / 86400.0}},
      {dtTIME, "13 45 30", 3, 0, Twos, TDateTime{49530.0 / 86400.0}},
      {dtTIME, "13 45 30", 2, 0, Twos, TDateTime{49500.0 / 86400.0}},
      {dtTIME, "25 00", 2, 0, Twos, NoDateTime},
      {dtASCR, "41 42", 2, 0, Twos, u""},
      {dtBINN, "41 42", 2, 0, Twos, u""},
  };
  for (const auto &c : cases) {
    TPelqoencode codec;
    codec.Negative = c.mode != SignMagnitude;
    codec.IsCardinal = c.mode == Cardinal;
    int32_t pos = 0;
    const TVariantValue value = codec.BufToData(c.type, Hex(c.bytes), pos, c.len, c.dec);
    EXPECT_EQ(value, c.expected) << "type " << int{c.type} << " bytes " << c.bytes << ": got "
                                 << Describe(value);
    EXPECT_EQ(pos, c.len) << "type " << int{c.type} << " bytes " << c.bytes;
  }
}

TEST(TPelqoencode, DefaultsAndPositionStepping) {
  TPelqoencode codec;
  EXPECT_TRUE(codec.Isinclen);
  EXPECT_TRUE(codec.Negative);
  EXPECT_FALSE(codec.IsCardinal);

  const Bytes frame = Hex("12 34 00 00 01 F4 41 42 00 00");
  int32_t pos = 0;
  EXPECT_EQ(codec.BufToData(dtBCD, frame, pos, 2, 0), TVariantValue(u"1234"));
  EXPECT_EQ(codec.BufToData(dtBIN, frame, pos, 4, 2), TVariantValue(5.0));
  EXPECT_EQ(codec.BufToData(dtASC, frame, pos, 4, 0), TVariantValue(u"AB"));
  EXPECT_EQ(pos, 10);

  codec.Isinclen = false;
  pos = 2;
  EXPECT_EQ(codec.BufToData(dtBIN, frame, pos, 4, 0), TVariantValue(500.0));
  EXPECT_EQ(codec.BufToData(dtBIN, frame, pos, 4, 0), TVariantValue(500.0));
  Bytes out(4, 0);
  EXPECT_TRUE(codec.DataToBuf(dtBIN, 7.0, out, pos = 0, 2, 0));
  EXPECT_TRUE(codec.DataToBuf(dtBIN, 9.0, out, pos, 2, 0));
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(out, Hex("00 09 00 00"));
}

TEST(TPelqoencode, HexTextToInteger) {
  EXPECT_EQ(TPelqoencode::HextoInt(u"01F4"), 500u);
  EXPECT_EQ(TPelqoencode::HextoInt(u"ffffFFFF"), 4294967295u);
  EXPECT_EQ(TPelqoencode::HextoInt(u""), 0u);
  EXPECT_EQ(TPelqoencode::HextoInt(u"123456789"), 0x23456789u);
  EXPECT_EQ(TPelqoencode::HextoInt(u"12G4"), 0u);
}

struct EncodeCase {
  TDCDataType type;
  TVariantValue value;
  int32_t len;
  int32_t dec;
  bool result;
  const char *bytes; // the field afterwards; it starts as AA bytes
};

TEST(TPelqoencode, EncodesEveryTypeAtItsEdges) {
  const EncodeCase cases[] = {
      {dtBCD, u"1234", 2, 0, true, "12 34"},
      {dtBCD, u"123", 2, 0, true, "01 23"},
      {dtBCD, u"12345", 2, 0, true, "23 45"},
      {dtBCD, u"12", 3, 0, true, "AA AA 12"},
      {dtBCD, u" 12\t\r\n", 1, 0, true, "12"},
      {dtBCD, int32_t{987}, 2, 0, true, "09 87"},
      // Packing ends at a pair that is not hexadecimal; dtBCD still succeeds.
      {dtBCD, u"12G4", 2, 0, true, "AA AA"},
      {dtBCD, u"1G34", 2, 0, true, "AA 34"},
      {dtBCD, u"", 2, 0, true, "AA AA"},
      {dtBCDE, u"0012", 2, 0, true, "FF 12"},
      {dtBCDE, u"1G34", 2, 0, false, "AA 34"},
      // Not trimmed: the blank ends the packing.
      {dtBCDE, u" 12", 2, 0, false, "AA 12"},
      {dtDBCD, u" 0012 ", 2, 0, true, "FF 12"},
      {dtDBCD, u"0012G", 3, 0, true, "AA AA AA"},
      {dtDATE, kMay17, 4, 0, true, "20 24 05 17"},
      {dtDATE, u"2024-05-17", 4, 0, true, "20 24 05 17"},
      {dtDATE, kMay17, 2, 0, true, "05 17"},
      {dtDATETIME, kMay17Afternoon, 6, 0, true, "24 05 17 13 45 30"},
      {dtDATETIME, u"2000-01-01", 6, 0, true, "00 01 01 00 00 00"},
      {dtDATETIME, u"2099-12-31 23:59:59", 6, 0, true, "99 12 31 23 59 59"},
      {dtDATETIME, u"1999-12-31 23:59:59", 6, 0, false, "AA AA AA AA AA AA"},
      {dtDATETIME, u"2100-01-01", 6, 0, false, "AA AA AA AA AA AA"},
      {dtBIN, 5.0, 4, 2, true, "00 00 01 F4"},
      {dtBIN, 12.5, 1, 0, true, "0C"},
      {dtBIN, 13.5, 1, 0, true, "0E"},
      {dtBIN, 0.125, 1, 2, true, "0C"},
      {dtBIN, 1.15, 1, 2, true, "73"},
      {dtBIN, 1.005, 1, 2, true, "64"},
      {dtBIN, 1230.0, 1, -1, true, "7B"},
      {dtBIN, int32_t{300}, 2, 0, true, "01 2C"},
      {dtBIN, u"12", 1, 0, true, "0C"},
      {dtBIN, -0.4, 1, 0, true, "00"},
      {dtBIN, 255.0, 1, 0, true, "FF"},
      {dtBIN, 254.5, 1, 0, true, "FE"},
      {dtBIN, 65535.0, 2, 0, true, "FF FF"},
      {dtBIN, 9007199254740992.0, 8, 0, true, "00 20 00 00 00 00 00 00"},
      {dtBIN, 9223372036854774784.0, 8, 0, true, "7F FF FF FF FF FF FC 00"},
      // What does not fit, is negative or is no number is refused.
      {dtBIN, 256.0, 1, 0, false, "AA"},
      {dtBIN, 255.5, 1, 0, false, "AA"},
      {dtBIN, 500.0, 1, 0, false, "AA"},
      {dtBIN, 65536.0, 2, 0, false, "AA AA"},
      {dtBIN, 4294967296.0, 4, 0, false, "AA AA AA AA"},
      {dtBIN, -2.0, 2, 0, false, "AA AA"},
      {dtBIN, -1.0, 8, 0, false, "AA AA AA AA AA AA AA AA"},
      {dtBIN, 1e19, 8, 0, false, "AA AA AA AA AA AA AA AA"},
      {dtBIN, NaN, 2, 0, false, "AA AA"},
      {dtBIN, Inf, 2, 0, false, "AA AA"},
      {dtBIN, u"abc", 2, 0, false, "AA AA"},
      {dtBIN, 1.0, 0, 0, false, ""},
      {dtBIN, 1.0, 9, 0, false, "AA AA AA AA AA AA AA AA AA"},
      {dtASC, u"AB", 4, 0, true, "41 42 00 AA"},
      {dtASC, u"ABCD", 4, 0, true, "41 42 43 44"},
      {dtASC, u"ABCDE", 4, 0, true, "41 42 43 44"},
      {dtASC, int32_t{-12}, 4, 0, true, "2D 31 32 00"},
      {dtDOUBLE, 1.5, 8, 2, true, "40 62 C0 00 00 00 00 00"},
      {dtDOUBLE, u"100", 8, -2, true, "3F F0 00 00 00 00 00 00"},
      {dtDOUBLE, NaN, 8, 0, false, "AA AA AA AA AA AA AA AA"},
      {dtDOUBLE, u"x", 8, 0, false, "AA AA AA AA AA AA AA AA"},
      {dtDOUBLE, 1e308, 8, 10, false, "AA AA AA AA AA AA AA AA"},
      {dtTIME, kMay17Afternoon, 3, 0, false, "AA AA AA"},
      {dtASCR, u"AB", 2, 0, false, "AA AA"},
      {dtBINN, 1.0, 2, 0, false, "AA AA"},
  };
  for (const auto &c : cases) {
    TPelqoencode codec;
    Bytes buf(static_cast<size_t>(c.len), 0xAA);
    int32_t pos = 0;
    EXPECT_EQ(codec.DataToBuf(c.type, c.value, buf, pos, c.len, c.dec), c.result)
        << "type " << int{c.type} << " " << Describe(c.value);
    EXPECT_EQ(buf, Hex(c.bytes)) << "type " << int{c.type} << " " << Describe(c.value);
    EXPECT_EQ(pos, c.len);
  }
}

TEST(TPelqoencode, DoublesTravelWithFifteenDigits) {
  TPelqoencode codec;
  Bytes buf(8);
  int32_t pos = 0;
  ASSERT_TRUE(codec.DataToBuf(dtDOUBLE, 3.141592653589793, buf, pos, 8, 0));
  EXPECT_EQ(codec.BufToData(dtDOUBLE, buf, pos = 0, 8, 0), TVariantValue(3.14159265358979));
}

TEST(TPelqoencode, DateEncodersRaiseOnValuesThatAreNoDateTime) {
  TPelqoencode codec;
  Bytes buf(6, 0xAA);
  int32_t pos = 0;
  EXPECT_THROW(codec.DataToBuf(dtDATE, u"17 May", buf, pos, 4, 0), EVariantCastError);
  EXPECT_THROW(codec.DataToBuf(dtDATETIME, NaN, buf, pos, 6, 0), EVariantCastError);
  EXPECT_THROW(codec.DataToBuf(dtDATE, 1e7, buf, pos, 4, 0), EVariantCastError);
  EXPECT_EQ(buf, Bytes(6, 0xAA));
}

TEST(TPelqoencode, FieldsPastTheBufferDecodeToTheFailureValue) {
  const struct {
    TDCDataType type;
    int32_t pos;
    int32_t len;
    TVariantValue failure;
  } cases[] = {
      {dtBCD, 3, 2, u""},
      {dtBCDE, 3, 2, u""},
      {dtDBCD, 4, 1, u""},
      {dtASC, 2, 3, u""},
      {dtBIN, 1, 4, 0.0},
      {dtDOUBLE, 0, 8, 0.0},
      {dtDATETIME, 0, 6, NoDateTime},
      {dtDATE, 1, 4, NoDateTime},
      {dtTIME, 2, 3, NoDateTime},
      {dtBCD, -1, 2, u""},
      {dtBIN, 0, -2, 0.0},
      {dtTIME, 3, 2, NoDateTime},
  };
  const Bytes buf = Hex("20 24 05 17");
  for (const auto &c : cases) {
    TPelqoencode codec;
    int32_t pos = c.pos;
    EXPECT_EQ(codec.BufToData(c.type, buf, pos, c.len, 0), c.failure) << "type " << int{c.type};
    EXPECT_EQ(pos, c.pos + c.len);
  }
}

TEST(TPelqoencode, FieldsPastTheBufferAreNotEncoded) {
  const struct {
    TDCDataType type;
    TVariantValue value;
    int32_t pos;
    int32_t len;
  } cases[] = {
      {dtBCD, u"1234", 3, 2}, {dtBCDE, u"12", 4, 1},      {dtDBCD, u"12", -1, 2},
      {dtBIN, 1.0, 2, 4},     {dtASC, u"AB", 3, 2},       {dtDOUBLE, 1.0, 0, 4},
      {dtDATE, kMay17, 1, 4}, {dtDATETIME, kMay17, 0, 6}, {dtBIN, 1.0, 0, -1},
  };
  for (const auto &c : cases) {
    TPelqoencode codec;
    Bytes buf(4, 0xAA);
    int32_t pos = c.pos;
    EXPECT_FALSE(codec.DataToBuf(c.type, c.value, buf, pos, c.len, 0)) << "type " << int{c.type};
    EXPECT_EQ(buf, Bytes(4, 0xAA)) << "type " << int{c.type};
    EXPECT_EQ(pos, c.pos + c.len);
  }
}

TEST(TPelqoencode, CallerRangesDecodeOnlyTheFieldsBytes) {
  TPelqoencode codec;
  const Bytes range = Hex("40 09 21 FB 54 44 2D 18 24 05 17 13 45 30");
  int32_t pos = 0;
  EXPECT_EQ(codec.BufToDataArr(dtDOUBLE, range, pos, 8, 0), TVariantValue(3.141592653589793));
  EXPECT_EQ(codec.BufToDataArr(dtDATETIME, range, pos, 6, 0), TVariantValue(kMay17Afternoon));
  EXPECT_EQ(pos, 14);
  // The fixed-width types need their whole width inside the field, not just
  // inside the range.
  EXPECT_EQ(codec.BufToDataArr(dtDOUBLE, range, pos = 0, 4, 0), TVariantValue(0.0));
  EXPECT_EQ(codec.BufToDataArr(dtDATETIME, range, pos = 8, 2, 0), TVariantValue(NoDateTime));
  EXPECT_EQ(codec.BufToDataArr(dtDATE, Hex("20 24 05 17"), pos = 0, 3, 0), TVariantValue(NoDateTime));
  EXPECT_EQ(codec.BufToDataArr(dtTIME, range, pos = 11, 1, 0), TVariantValue(NoDateTime));
  // A field cut by the end of the range.
  EXPECT_EQ(codec.BufToDataArr(dtBCD, range, pos = 12, 4, 0), TVariantValue(u""));
  EXPECT_EQ(pos, 16);
  EXPECT_EQ(codec.BufToDataArr(dtBIN, range, pos = 20, 2, 0), TVariantValue(0.0));
  EXPECT_EQ(codec.BufToDataArr(dtBIN, range, pos = -1, 2, 0), TVariantValue(0.0));
  EXPECT_EQ(codec.BufToDataArr(dtBCD, range, pos = 12, 2, 0), TVariantValue(u"4530"));
}

TEST(TPelqoencode, CallerRangesGetTheWholeZeroFilledField) {
  TPelqoencode codec;
  // The range is the middle of a larger block, whose edges must stay.
  Bytes block(12, 0xAA);
  const std::span<uint8_t> range(block.data() + 2, 8);
  int32_t pos = 0;
  EXPECT_TRUE(codec.DataToBufArr(dtBCD, u"12", range, pos, 3, 0));
  EXPECT_TRUE(codec.DataToBufArr(dtBIN, 5.0, range, pos, 2, 2));
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(block, Hex("AA AA 00 00 12 01 F4 AA AA AA AA AA"));
  // No encoder, or an encoder that fails inside the field: the field is zero.
  EXPECT_FALSE(codec.DataToBufArr(dtTIME, kMay17, range, pos = 0, 1, 0));
  EXPECT_FALSE(codec.DataToBufArr(dtDOUBLE, 1.0, range, pos = 1, 4, 0));
  EXPECT_EQ(block, Hex("AA AA 00 00 00 00 00 AA AA AA AA AA"));
  // A field that reaches past the range leaves it alone.
  EXPECT_FALSE(codec.DataToBufArr(dtBCD, u"1234", range, pos = 7, 2, 0));
  EXPECT_FALSE(codec.DataToBufArr(dtBCD, u"1234", range, pos = -1, 2, 0));
  EXPECT_EQ(pos, 1);
  EXPECT_FALSE(codec.DataToBufArr(dtDOUBLE, 1.0, range, pos = 0, 9, 0));
  EXPECT_EQ(block, Hex("AA AA 00 00 00 00 00 AA AA AA AA AA"));
  EXPECT_TRUE(codec.DataToBufArr(dtDOUBLE, 1.0, range, pos = 0, 8, 0));
  EXPECT_EQ(block, Hex("AA AA 3F F0 00 00 00 00 00 00 AA AA"));
}

// The public operations go through the workers, so a subclass can replace one.
class UpperAscii : public TPelqoencode {
public:
  std::u16string BufToAsc(std::span<const uint8_t>, int32_t, int32_t) override { return u"replaced"; }
  bool BinToBuf(const TVariantValue &, std::span<uint8_t> Buf, int32_t iStartPos, int32_t, int32_t) override {
    Buf[static_cast<size_t>(iStartPos)] = 0x42;
    return true;
  }
};

TEST(TPelqoencode, SubclassesReplaceWorkers) {
  UpperAscii codec;
  Bytes buf(2);
  int32_t pos = 0;
  EXPECT_EQ(codec.BufToData(dtASC, buf, pos, 2, 0), TVariantValue(u"replaced"));
  EXPECT_TRUE(codec.DataToBuf(dtBIN, 1.0, buf, pos = 1, 1, 0));
  EXPECT_EQ(buf, Hex("00 42"));
}

} // namespace
} // namespace pondrex
