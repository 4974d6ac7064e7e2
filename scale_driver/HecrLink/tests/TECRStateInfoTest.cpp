// Label-scale state: where the fields sit, the country names, and payloads
// too short for the layout.
#include "TECRStateInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pondrex {
namespace {

// A 26-byte payload whose unread bytes are 0xEE, with the given flag, ECR ID
// bytes (from offset 7) and country code.
std::vector<uint8_t> StatePayload(uint8_t flag, const std::string &ecrId, uint8_t country) {
  std::vector<uint8_t> payload(26, 0xEE);
  payload[0] = flag;
  for (size_t i = 0; i < 16; ++i)
    payload[7 + i] = i < ecrId.size() ? static_cast<uint8_t>(ecrId[i]) : 0;
  payload[25] = country;
  return payload;
}

TEST(TECRStateInfo, DecodesFlagEcrIdAndCountry) {
  const std::vector<uint8_t> payload = StatePayload(0x81, "ECR-01", 7);
  ASSERT_EQ(payload[6], 0xEE);
  ASSERT_EQ(payload[23], 0xEE);
  TECRStateInfo record;
  ASSERT_TRUE(record.Execute(payload));
  EXPECT_EQ(record.Flag(), 0x81);
  EXPECT_EQ(record.EcrIdChar(), u"ECR-01");
  EXPECT_EQ(record.Country(), 7);
  EXPECT_EQ(record.Countrychar(), u"Israel");
}

TEST(TECRStateInfo, EcrIdOfSixteenCharactersEndsAtItsField) {
  TECRStateInfo record;
  ASSERT_TRUE(record.Execute(StatePayload(0, "0123456789ABCDEF", 0)));
  EXPECT_EQ(record.EcrIdChar(), u"0123456789ABCDEF");
}

TEST(TECRStateInfo, CountryCodesAndTheirNames) {
  const std::vector<std::pair<uint8_t, std::u16string>> cases = {
      {0, u"English"}, {7, u"Israel"},  {10, u"Chinese"}, {12, u"TaiWan"},
      {14, u"Russia"}, {17, u"Arabic"}, {33, u"Holand"},  {51, u"Hungary"},
  };
  for (const auto &[code, name] : cases) {
    SCOPED_TRACE(code);
    TECRStateInfo record;
    ASSERT_TRUE(record.Execute(StatePayload(0, "", code)));
    EXPECT_EQ(record.Countrychar(), name);
  }
}

TEST(TECRStateInfo, UnknownCountryKeepsTheEarlierName) {
  TECRStateInfo record;
  ASSERT_TRUE(record.Execute(StatePayload(0, "A", 200)));
  EXPECT_EQ(record.Countrychar(), u"");
  ASSERT_TRUE(record.Execute(StatePayload(0, "A", 7)));
  ASSERT_TRUE(record.Execute(StatePayload(0, "B", 8)));
  EXPECT_EQ(record.Country(), 8);
  EXPECT_EQ(record.Countrychar(), u"Israel");
  EXPECT_EQ(record.EcrIdChar(), u"B");
}

TEST(TECRStateInfo, ShortPayloadLeavesEveryFieldAndShowsNothing) {
  bool shown = false;
  TECRStateInfo record;
  record.SetErrorBox([&](const std::u16string &) { shown = true; });
  ASSERT_TRUE(record.Execute(StatePayload(3, "OLD", 10)));
  for (const size_t size : {size_t{0}, size_t{8}, size_t{25}}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> payload = StatePayload(4, "NEW", 12);
    payload.resize(size);
    EXPECT_FALSE(record.Execute(payload));
    EXPECT_EQ(record.Flag(), 3);
    EXPECT_EQ(record.EcrIdChar(), u"OLD");
    EXPECT_EQ(record.Country(), 10);
    EXPECT_EQ(record.Countrychar(), u"Chinese");
  }
  EXPECT_FALSE(shown);
}

} // namespace
} // namespace pondrex
