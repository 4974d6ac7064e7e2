#include "TextSelfTest.h"

#include <gtest/gtest.h>

namespace {

TEST(TextSelfTest, WideTextIsFiveCharactersAndTwoZeroUnits) {
  const std::u16string text = pondrex::SelfTestWideText();
  EXPECT_EQ(text, std::u16string(u"\u056D\u0576\u0571\u0578\u0580\0", 6));
  EXPECT_EQ(text.c_str()[6], u'\0');
}

TEST(TextSelfTest, WideBytesAreTheFiveCharactersLittleEndian) {
  const std::array<uint8_t, 10> expected = {0x6D, 0x05, 0x76, 0x05, 0x71, 0x05, 0x78, 0x05, 0x80, 0x05};
  EXPECT_EQ(pondrex::SelfTestWideBytes(), expected);
}

} // namespace
