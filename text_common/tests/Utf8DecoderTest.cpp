#include "Utf8Text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using pos::DecodeUtf8;

struct Case {
  const char *what;
  std::vector<uint8_t> utf8;
  std::u16string expected;
};

std::u16string decode(const std::vector<uint8_t> &bytes) {
  return DecodeUtf8(bytes);
}

TEST(Utf8Decoder, DecodesEveryWellFormedLength) {
  const Case cases[] = {
      {"empty", {}, u""},
      {"ascii and a zero byte", {'A', 0x00, 0x7F}, {u'A', u'\0', u'\x7F'}},
      {"two bytes, lowest and highest", {0xC2, 0x80, 0xDF, 0xBF}, u"\u0080\u07FF"},
      {"three bytes around the surrogates",
       {0xE0, 0xA0, 0x80, 0xED, 0x9F, 0xBF, 0xEE, 0x80, 0x80},
       u"\u0800\uD7FF\uE000"},
      {"three bytes, highest", {0xEF, 0xBF, 0xBF}, u"\uFFFF"},
      {"four bytes become a surrogate pair", {0xF0, 0x9F, 0x98, 0x80}, u"\U0001F600"},
      {"four bytes, extremes", {0xF0, 0x90, 0x80, 0x80, 0xF4, 0x8F, 0xBF, 0xBF}, u"\U00010000\U0010FFFF"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(decode(c.utf8), c.expected) << c.what;
  }
}

TEST(Utf8Decoder, ReplacesEachMaximalInvalidSubsequence) {
  const Case cases[] = {
      {"stray continuation bytes", {0x80, 'a', 0xBF}, u"\uFFFDa\uFFFD"},
      {"bytes that never start a sequence", {0xC0, 0xC1, 0xF5, 0xFF}, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"truncated at the end", {'a', 0xD5}, u"a\uFFFD"},
      {"truncated four-byte sequence at the end", {0xF0, 0x9F, 0x98}, u"\uFFFD"},
      {"truncated before ascii", {0xE2, 0x82, 'A'}, u"\uFFFDA"},
      {"truncated before another lead", {0xE2, 0xD5, 0xAD}, u"\uFFFD\u056D"},
      {"overlong two bytes", {0xC0, 0xAF}, u"\uFFFD\uFFFD"},
      {"overlong three bytes", {0xE0, 0x80, 0xAF}, u"\uFFFD\uFFFD\uFFFD"},
      {"overlong four bytes", {0xF0, 0x8F, 0xBF, 0xBF}, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"encoded high surrogate", {0xED, 0xA0, 0x80}, u"\uFFFD\uFFFD\uFFFD"},
      {"encoded low surrogate", {0xED, 0xBF, 0xBF}, u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", {0xF4, 0x90, 0x80, 0x80}, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(decode(c.utf8), c.expected) << c.what;
  }
}

// Whatever two bytes come in, the result is one or two BMP characters: no
// byte is dropped silently and no unpaired surrogate leaks out.
TEST(Utf8Decoder, AnyTwoBytesGiveOneOrTwoNonSurrogateUnits) {
  for (unsigned first = 0; first < 256; ++first) {
    for (unsigned second = 0; second < 256; ++second) {
      const std::u16string text = decode({static_cast<uint8_t>(first), static_cast<uint8_t>(second)});
      ASSERT_GE(text.size(), 1u) << first << " " << second;
      ASSERT_LE(text.size(), 2u) << first << " " << second;
      for (char16_t unit : text) {
        ASSERT_FALSE(unit >= 0xD800 && unit <= 0xDFFF) << first << " " << second;
      }
    }
  }
}

} // namespace
