#include "ScaleCommandTable.h"
#include "ScaleFrames.h"
#include "THecrprotocolCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace pondrex {
namespace {

using test::BuildFrame;
using test::TFrameFields;
using Bytes = std::vector<uint8_t>;

Bytes Build(THecrprotocolCheck &check, std::u16string ecrId, uint32_t command, int32_t packageNo,
            const Bytes &data, int32_t len) {
  check.SetEcrID(std::move(ecrId));
  check.SetCommand(command);
  check.SetPackageNo(packageNo);
  Bytes out;
  const int32_t n = check.PackageBuffer(data, len, out);
  EXPECT_EQ(n, static_cast<int32_t>(out.size()));
  return out;
}

TEST(FrameBuild, EveryTableCommandMatchesTheLayout) {
  constexpr uint32_t ecrId = 0x0301E240; // 50455104
  const std::u16string ecrText = u"50455104";
  struct Variant {
    uint16_t parameter;
    Bytes data;
    int32_t packet;
  };
  const Variant variants[] = {
      {0, {}, 0}, {0x0C00, {}, 1}, {0x0005, {}, 2}, {0, {0x01, 0xFE, 0x80}, 3}, {0x3400, {0x00}, 0x1FF}};
  for (const bool usb : {false, true}) {
    for (const TScaleCommandRow &row : ScaleCommandTable) {
      for (const Variant &v : variants) {
        SCOPED_TRACE("ID " + std::to_string(row.ID) + " parameter " + std::to_string(v.parameter) + " data " +
                     std::to_string(v.data.size()) + (usb ? " usb" : " com"));
        const uint32_t command = row.Code | v.parameter;
        const bool aaStart = command == 0x71030000u || command == 0x50210000u;
        const bool a0Code = command == 0xA0000000u || command == 0xA0030000u;
        TFrameFields fields;
        fields.Start = aaStart ? 0xAA : 0xAB;
        fields.Packet = static_cast<uint8_t>(v.packet);
        fields.Data = v.data;
        fields.UsbPrefix = usb;
        fields.EcrId = ecrId;
        fields.Command = command;
        if (a0Code && !usb)
          fields.ShortHeader = true;
        if (a0Code && usb) { // both fields carry their low 16 bits, then two zero bytes
          fields.EcrId = (ecrId & 0xFFFF) << 16;
          fields.Command = (command & 0xFFFF) << 16;
        }
        THecrprotocolCheck check;
        check.SetMode(usb ? TCommunicationMode::cmUSB : TCommunicationMode::cmCOM);
        const Bytes frame =
            Build(check, ecrText, command, v.packet, v.data, static_cast<int32_t>(v.data.size()));
        EXPECT_EQ(frame, BuildFrame(fields));
        EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::ifSend);
      }
    }
  }
}

TEST(FrameBuild, LiteralFrames) {
  struct Case {
    const char *name;
    TCommunicationMode mode;
    std::u16string ecrId;
    uint32_t command;
    int32_t packet;
    Bytes data;
    Bytes expected;
  };
  const Case cases[] = {
      {"tare",
       TCommunicationMode::cmCOM,
       u"123456",
       0x80040000,
       0,
       {},
       {0xAB, 0x00, 0x01, 0xE2, 0x40, 0x80, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x52}},
      {"wind level, short header",
       TCommunicationMode::cmCOM,
       u"123456",
       0xA0030000,
       1,
       {},
       {0xAB, 0xE2, 0x40, 0x00, 0x00, 0xA0, 0x03, 0x01, 0x00, 0x01, 0x00, 0x00, 0x72}},
      {"temperature table, short header",
       TCommunicationMode::cmCOM,
       u"123456",
       0xA0000000,
       2,
       {},
       {0xAB, 0xE2, 0x40, 0x00, 0x00, 0xA0, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x71}},
      {"wind level over cmUSB",
       TCommunicationMode::cmUSB,
       u"123456",
       0xA0030000,
       1,
       {},
       {0x00, 0x0D, 0xAB, 0xE2, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xCE}},
      {"temperature table over cmUSB",
       TCommunicationMode::cmUSB,
       u"123456",
       0xA0000000,
       0,
       {},
       {0x00, 0x0D, 0xAB, 0xE2, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCD}},
      {"tare over cmUSB",
       TCommunicationMode::cmUSB,
       u"123456",
       0x80040000,
       0,
       {},
       {0x00, 0x0D, 0xAB, 0x00, 0x01, 0xE2, 0x40, 0x80, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x52}},
      {"read machine number starts with 0xAA",
       TCommunicationMode::cmCOM,
       u"1",
       0x50210000,
       0,
       {},
       {0xAA, 0x00, 0x00, 0x00, 0x01, 0x50, 0x21, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1C}},
      {"data with the XMODEM check value",
       TCommunicationMode::cmCOM,
       u"0",
       0x80050000,
       0,
       {'1', '2', '3', '4', '5', '6', '7', '8', '9'},
       {0xAB, 0,   0,   0,   0,   0x80, 0x05, 0,   0,   0,   0x00, 0x09,
        0x39, '1', '2', '3', '4', '5',  '6',  '7', '8', '9', 0x31, 0xC3}},
      {"ID above 32 bits goes out modulo 2^32",
       TCommunicationMode::cmCOM,
       u"4294967297",
       0x80040000,
       0,
       {},
       {0xAB, 0x00, 0x00, 0x00, 0x01, 0x80, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30}},
      {"short header keeps the ID's low 16 bits",
       TCommunicationMode::cmCOM,
       u"305419896",
       0xA0030000,
       0,
       {},
       {0xAB, 0x56, 0x78, 0x00, 0x00, 0xA0, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1C}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    THecrprotocolCheck check;
    check.SetMode(c.mode);
    EXPECT_EQ(Build(check, c.ecrId, c.command, c.packet, c.data, static_cast<int32_t>(c.data.size())),
              c.expected);
  }
}

TEST(FrameBuild, LogLineListsEveryByte) {
  THecrprotocolCheck check;
  check.SetMode(TCommunicationMode::cmUSB);
  Build(check, u"123456", 0x80040000, 0, {}, 0);
  EXPECT_EQ(check.Logstring(), "Send:00 0d ab 00 01 e2 40 80 04 00 00 00 00 00 52 ");
  EXPECT_EQ(check.ErrorID(), 0);
}

TEST(FrameBuild, Crc16XmodemCheckValue) {
  uint16_t crc = 0;
  uint16_t last = 0;
  for (const char c : std::string("123456789"))
    last = THecrprotocolCheck::CRC16(crc, static_cast<uint8_t>(c));
  EXPECT_EQ(crc, 0x31C3);
  EXPECT_EQ(last, crc);
  // Only the low 8 bits of the data word count.
  uint16_t a = 0x1234, b = 0x1234;
  EXPECT_EQ(THecrprotocolCheck::CRC16(a, 0xFF41), THecrprotocolCheck::CRC16(b, 0x0041));
}

TEST(FrameBuild, Crc16AgreesWithTheBitwiseDefinitionOnEveryByteValue) {
  std::vector<uint8_t> data;
  for (int round = 0; round < 3; ++round)
    for (int b = 0; b < 256; ++b)
      data.push_back(static_cast<uint8_t>(b * 7 + round));
  uint16_t crc = 0;
  for (size_t n = 0; n < data.size(); ++n) {
    THecrprotocolCheck::CRC16(crc, data[n]);
    ASSERT_EQ(crc, test::XmodemCrc(std::vector<uint8_t>(data.begin(), data.begin() + n + 1))) << n;
  }
}

TEST(FrameBuild, RefusedFramesBuildNothing) {
  struct Case {
    const char *name;
    std::u16string ecrId;
    size_t sourceSize;
    int32_t len;
  };
  const Case cases[] = {
      {"ID not a number", u"12a", 0, 0},     {"empty ID", u"", 0, 0},
      {"ID with blanks", u" 12", 0, 0},      {"ID beyond 64 bits", u"9223372036854775808", 0, 0},
      {"Len beyond the source", u"1", 3, 4}, {"Len beyond the 16-bit length field", u"1", 70000, 65536},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    THecrprotocolCheck check;
    check.SetLinkStatus(THecrLinkStatus::ifReceive);
    check.SetEcrID(c.ecrId);
    check.SetCommand(0x80040000);
    const Bytes source(c.sourceSize, 0x11);
    Bytes out = {0x99};
    EXPECT_EQ(check.PackageBuffer(source, c.len, out), 0);
    EXPECT_EQ(out, Bytes{0x99});
    EXPECT_EQ(check.LinkStatus(), THecrLinkStatus::ifSend);
  }
}

TEST(FrameBuild, LargestDataAndNegativeLengths) {
  THecrprotocolCheck check;
  const Bytes data(65535, 0x5A);
  const Bytes frame = Build(check, u"-1", 0x80050000, 0, data, 65535);
  ASSERT_EQ(frame.size(), 65535u + 15);
  EXPECT_EQ(frame[1], 0xFF); // -1 as a 64-bit integer: its low 32 bits are all ones
  EXPECT_EQ(frame[10], 0xFF);
  EXPECT_EQ(frame[11], 0xFF);
  // A Len of 0 or less builds a frame without data whose length field says 0.
  const Bytes empty = Build(check, u"1", 0x80050000, 0, data, -1);
  ASSERT_EQ(empty.size(), 13u);
  EXPECT_EQ(empty[10], 0);
  EXPECT_EQ(empty[11], 0);
}

TEST(FrameBuild, CardinalFieldsStayInsideTheBuffer) {
  THecrprotocolCheck check;
  Bytes buf(6, 0);
  EXPECT_TRUE(check.CardinalToBuffer(0x01020304, buf, 2));
  EXPECT_EQ(buf, (Bytes{0, 0, 1, 2, 3, 4}));
  EXPECT_FALSE(check.CardinalToBuffer(0x01020304, buf, 3));
  EXPECT_FALSE(check.CardinalToBuffer(0x01020304, buf, -1));
  check.SetCommand(0xA0000000);
  EXPECT_TRUE(check.CardinalToBuffer(0x0A0B0C0D, buf, 4));
  EXPECT_EQ(buf, (Bytes{0, 0, 1, 2, 0x0C, 0x0D}));

  EXPECT_EQ(check.BufferToCardinal(buf, 2, 4), 0x01020C0Du);
  EXPECT_EQ(check.BufferToCardinal(buf, 5, 1), 0x0Du);
  EXPECT_EQ(check.BufferToCardinal(buf, 4, 4), 0u);
  EXPECT_EQ(check.BufferToCardinal(buf, 0, 5), 0u);
}

} // namespace
} // namespace pondrex
