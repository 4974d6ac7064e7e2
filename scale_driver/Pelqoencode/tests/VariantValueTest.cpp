#include "VariantValue.h"

#include <gtest/gtest.h>

#include <limits>

#include "NumberText.h"
#include "SystemCodePage.h"

namespace pondrex {
namespace {

const TDateTime kMay17 = {45429.0 + 49530.0 / 86400.0}; // 2024-05-17 13:45:30

TEST(VariantValue, EveryKindHasAText) {
  EXPECT_EQ(VariantToText(std::u16string(u" 12 ")), u" 12 ");
  EXPECT_EQ(VariantToText(int32_t{-500}), u"-500");
  EXPECT_EQ(VariantToText(12.5), FloatToText(12.5, LocaleDecimalSeparator()));
  EXPECT_EQ(VariantToText(kMay17), u"2024-05-17 13:45:30");
  EXPECT_EQ(VariantToText(TDateTime{1e300}), FloatToText(1e300));
}

TEST(VariantValue, NumbersFromEveryKind) {
  EXPECT_EQ(VariantToDouble(int32_t{-7}), -7.0);
  EXPECT_EQ(VariantToDouble(2.5), 2.5);
  EXPECT_EQ(VariantToDouble(kMay17), kMay17.Value);
  EXPECT_EQ(VariantToDouble(std::u16string(u" 42 ")), 42.0);
  EXPECT_FALSE(VariantToDouble(std::u16string(u"4x2")).has_value());
  EXPECT_FALSE(VariantToDouble(std::u16string()).has_value());
}

TEST(VariantValue, DateTimesFromEveryKind) {
  EXPECT_EQ(VariantToDateTime(kMay17), kMay17);
  EXPECT_EQ(VariantToDateTime(45429.5), TDateTime{45429.5});
  EXPECT_EQ(VariantToDateTime(int32_t{2}), TDateTime{2.0});
  EXPECT_EQ(VariantToDateTime(std::u16string(u"2024-05-17 13:45:30")), kMay17);
  EXPECT_EQ(VariantToDateTime(std::u16string(u" 2024-05-17 ")), TDateTime{45429.0});
  for (const char16_t *text : {u"", u"2024-5-17", u"2024-02-30", u"2024-05-17 24:00:00", u"2024/05/17",
                               u"2024-05-17T13:45:30", u"2024-05-17 13:45", u"45429"}) {
    EXPECT_FALSE(VariantToDateTime(std::u16string(text)).has_value());
  }
  EXPECT_FALSE(VariantToDateTime(std::numeric_limits<double>::quiet_NaN()).has_value());
}

} // namespace
} // namespace pondrex
