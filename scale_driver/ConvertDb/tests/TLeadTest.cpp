// Seal information: BCD version text, BCD date read as decimal numbers, and
// payloads that are short or carry digits A-F.
#include "TLead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pondrex {
namespace {

struct Seal {
  std::u16string ver;
  int32_t year, month, day;
};

void ExpectSeal(const Seal &expected, const TLead &record) {
  EXPECT_EQ(record.Ver(), expected.ver);
  EXPECT_EQ(record.Year(), expected.year);
  EXPECT_EQ(record.Month(), expected.month);
  EXPECT_EQ(record.DAY(), expected.day);
}

TEST(TLead, DecodesVersionAndDate) {
  const std::vector<std::pair<std::vector<uint8_t>, Seal>> cases = {
      {{0x01, 0x02, 0x20, 0x24, 0x05, 0x17}, {u"0102", 2024, 5, 17}},
      {{0x0A, 0xFF, 0x00, 0x00, 0x00, 0x00}, {u"0AFF", 0, 0, 0}},
      {{0x99, 0x99, 0x19, 0x99, 0x12, 0x31, 0xAB}, {u"9999", 1999, 12, 31}},
  };
  for (const auto &[payload, seal] : cases) {
    SCOPED_TRACE(testing::PrintToString(payload));
    TLead record;
    ASSERT_TRUE(record.Execute(payload));
    ExpectSeal(seal, record);
  }
}

TEST(TLead, DateDigitAToFFails) {
  const std::vector<std::pair<std::vector<uint8_t>, Seal>> cases = {
      {{0x01, 0x02, 0x20, 0x2A, 0x05, 0x17}, {u"0102", 1, 1, 1}},
      {{0x01, 0x02, 0x20, 0x24, 0x0F, 0x17}, {u"0102", 2024, 1, 1}},
      {{0x01, 0x02, 0x20, 0x24, 0x05, 0xB1}, {u"0102", 2024, 5, 1}},
  };
  for (const auto &[payload, seal] : cases) {
    SCOPED_TRACE(testing::PrintToString(payload));
    TLead record;
    record.SetYear(1);
    record.SetMonth(1);
    record.SetDAY(1);
    EXPECT_FALSE(record.Execute(payload));
    ExpectSeal(seal, record);
  }
}

TEST(TLead, ShortPayloadLeavesEveryField) {
  TLead record;
  ASSERT_TRUE(record.Execute({0x01, 0x02, 0x20, 0x24, 0x05, 0x17}));
  EXPECT_FALSE(record.Execute({0x03, 0x04, 0x20, 0x25, 0x06}));
  EXPECT_FALSE(record.Execute({}));
  ExpectSeal({u"0102", 2024, 5, 17}, record);
}

} // namespace
} // namespace pondrex
