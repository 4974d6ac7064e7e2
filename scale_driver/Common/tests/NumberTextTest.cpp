#include "NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "SystemCodePage.h"

namespace pondrex {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

TEST(NumberText, IntegersBecomeDecimalText) {
  EXPECT_EQ(IntToText(0), u"0");
  EXPECT_EQ(IntToText(-1234), u"-1234");
  EXPECT_EQ(IntToText(std::numeric_limits<int64_t>::max()), u"9223372036854775807");
  EXPECT_EQ(IntToText(std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(IntToNarrowText(4294967295LL), "4294967295");
}

TEST(NumberText, DoublesInTheGeneralFormat) {
  const struct {
    double value;
    const char16_t *text;
  } cases[] = {
      {0.0, u"0"},
      {-0.0, u"0"},
      {1.0, u"1"},
      {-5.0, u"-5"},
      {100.0, u"100"},
      {12.34, u"12.34"},
      {0.1 + 0.2, u"0.3"},
      {3.141592653589793, u"3.14159265358979"},
      {2.0 / 3.0, u"0.666666666666667"},
      {0.00001, u"0.00001"},
      {-0.0000123, u"-0.0000123"},
      // Rounded to 15 digits first, so it reaches the fixed range.
      {0.0000099999999999999991, u"0.00001"},
      {0.00000999, u"9.99E-6"},
      {1e-6, u"1E-6"},
      {-2.5e-7, u"-2.5E-7"},
      {123456789012345.0, u"123456789012345"},
      {100000000000000.0, u"100000000000000"},
      {1e15, u"1E15"},
      // Rounding to 15 digits carries into a sixteenth digit before the point.
      {999999999999999.9, u"1E15"},
      {1234567890123456.0, u"1.23456789012346E15"},
      {1.5e20, u"1.5E20"},
      {1e100, u"1E100"},
      {std::numeric_limits<double>::max(), u"1.79769313486232E308"},
      {std::numeric_limits<double>::denorm_min(), u"4.94065645841247E-324"},
      {NaN, u"NAN"},
      {Inf, u"INF"},
      {-Inf, u"-INF"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(FloatToText(c.value, u'.'), c.text) << c.value;
  }
}

TEST(NumberText, DoublesUseTheGivenSeparator) {
  EXPECT_EQ(FloatToText(12.34, u','), u"12,34");
  EXPECT_EQ(FloatToText(1.5e20, u','), u"1,5E20");
  EXPECT_EQ(FloatToText(-0.00005, u','), u"-0,00005");
  EXPECT_EQ(FloatToNarrowText(12.34, ','), "12,34");
  const std::u16string withLocale = FloatToText(0.5);
  EXPECT_EQ(withLocale, FloatToText(0.5, LocaleDecimalSeparator()));
}

TEST(NumberText, DecimalTextToDouble) {
  const struct {
    const char16_t *text;
    double value;
  } cases[] = {
      {u"12.34", 12.34},
      {u" -5 ", -5.0},
      {u"+1.5E3", 1500.0},
      {u"1e-3", 0.001},
      {u".5", 0.5},
      {u"5.", 5.0},
      {u"000123.4500", 123.45},
      {u"0", 0.0},
      {u"1E-400", 0.0},
      {u"0e5000", 0.0},
      {u"3.14159265358979", 3.14159265358979},
      {u"1.79769313486231E308", 1.79769313486231e308},
  };
  for (const auto &c : cases) {
    const auto value = TextToFloat(std::u16string_view(c.text), u'.');
    ASSERT_TRUE(value.has_value()) << std::string(c.text,
                                                  c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(*value, c.value);
  }
  // Out of range below the smallest double, even with a long mantissa.
  EXPECT_EQ(TextToFloat(std::u16string(u"0.") + std::u16string(400, u'0') + u"1", u'.'), 0.0);
}

TEST(NumberText, TextsThatAreNoDecimalNumberFail) {
  const char16_t *texts[] = {
      u"",    u" ",   u"abc", u"1.2.3",  u"1,5",  u"1e",    u"1e+",
      u"--1", u"+",   u".",   u"1 2",    u"0x10", u"1E400", u"1.79769313486232E308",
      u"INF", u"NAN", u"1\t", u"\uFF11", u"-.e1",
  };
  for (const char16_t *text : texts) {
    EXPECT_FALSE(TextToFloat(std::u16string_view(text), u'.').has_value())
        << std::string(text, text + std::char_traits<char16_t>::length(text));
  }
  // A long run of digits overflows even with a small negative exponent.
  EXPECT_FALSE(TextToFloat(u"1" + std::u16string(400, u'0') + u"e-10", u'.').has_value());
}

TEST(NumberText, DecimalTextHonoursTheSeparator) {
  EXPECT_EQ(TextToFloat(std::u16string_view(u"1,5"), u','), 1.5);
  EXPECT_FALSE(TextToFloat(std::u16string_view(u"1.5"), u',').has_value());
  EXPECT_EQ(TextToFloat(std::u16string_view(u"2\u066B5"), u'\u066B'), 2.5);
  EXPECT_EQ(TextToFloat(std::string_view("-0,25"), ','), -0.25);
  for (double value : {12.34, -0.000012, 1.5e20, 2.0 / 3.0}) {
    EXPECT_EQ(TextToFloat(FloatToText(value, u','), u','), TextToFloat(FloatToText(value, u'.'), u'.'));
  }
}

TEST(NumberText, DecimalTextToInteger) {
  EXPECT_EQ(TextToInt(std::u16string_view(u"0")), 0);
  EXPECT_EQ(TextToInt(std::u16string_view(u" -12 ")), -12);
  EXPECT_EQ(TextToInt(std::string_view("+7")), 7);
  EXPECT_EQ(TextToInt(std::string_view("9223372036854775807")), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(TextToInt(std::string_view("-9223372036854775808")), std::numeric_limits<int64_t>::min());
  for (const char *text : {"", "-", " ", "1.0", "12a", "0x1F", "$1F", "1 2", "9223372036854775808",
                           "-9223372036854775809", "99999999999999999999"}) {
    EXPECT_FALSE(TextToInt(std::string_view(text)).has_value()) << text;
  }
  EXPECT_FALSE(TextToInt(std::u16string_view(u"\uFF11")).has_value());
}

TEST(NumberText, RoundsHalfToEven) {
  const struct {
    double value;
    int64_t rounded;
  } cases[] = {
      {12.5, 12},
      {13.5, 14},
      {0.5, 0},
      {1.5, 2},
      {-0.5, 0},
      {-2.5, -2},
      {-3.5, -4},
      {-1.2, -1},
      {-1.7, -2},
      {2.4999999999999996, 2},
      {2.5000000000000004, 3},
      {4503599627370497.0, 4503599627370497},
      {-9223372036854775808.0, std::numeric_limits<int64_t>::min()},
      {9223372036854774784.0, 9223372036854774784},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(RoundHalfEven(c.value), c.rounded) << c.value;
  }
  for (double value : {9223372036854775808.0, -9223372036854777856.0, NaN, Inf, -Inf}) {
    EXPECT_FALSE(RoundHalfEven(value).has_value()) << value;
  }
}

} // namespace
} // namespace pondrex
