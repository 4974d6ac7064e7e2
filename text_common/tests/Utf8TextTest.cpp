#include "Utf8Text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pos::DecodeUtf8;
using pos::EncodeUtf8;

std::string bytes(std::initializer_list<unsigned> values) {
  std::string out;
  for (unsigned v : values) {
    out.push_back(static_cast<char>(v));
  }
  return out;
}

struct EncodeCase {
  const char *what;
  std::u16string text;
  std::string utf8;
};

TEST(EncodeUtf8, EncodesEveryLengthAndEverySurrogateArrangement) {
  const EncodeCase cases[] = {
      {"empty", u"", ""},
      {"ascii with a NUL kept", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
      {"two bytes", u"\u00E9\u07FF", bytes({0xC3, 0xA9, 0xDF, 0xBF})},
      {"three bytes", u"设\uFFFF", bytes({0xE8, 0xAE, 0xBE, 0xEF, 0xBF, 0xBF})},
      {"pair becomes four bytes", u"\U0001F600", bytes({0xF0, 0x9F, 0x98, 0x80})},
      {"highest pair", u"\U0010FFFF", bytes({0xF4, 0x8F, 0xBF, 0xBF})},
      {"lone high before a letter", u"\xD83Dx", bytes({0xEF, 0xBF, 0xBD, 'x'})},
      {"lone high at the end", u"x\xD83D", bytes({'x', 0xEF, 0xBF, 0xBD})},
      {"lone low", u"\xDE00", bytes({0xEF, 0xBF, 0xBD})},
      {"low before high is two lone units", u"\xDE00\xD83D", bytes({0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD})},
      {"two highs then a low", u"\xD83D\xD83D\xDE00", bytes({0xEF, 0xBF, 0xBD, 0xF0, 0x9F, 0x98, 0x80})},
  };
  for (const EncodeCase &c : cases) {
    EXPECT_EQ(EncodeUtf8(c.text), c.utf8) << c.what;
  }
}

TEST(EncodeUtf8, EveryUnitRoundTripsOrBecomesTheReplacement) {
  for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const std::u16string text(1, static_cast<char16_t>(unit));
    const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
    ASSERT_EQ(DecodeUtf8(EncodeUtf8(text)), surrogate ? u"\uFFFD" : text) << static_cast<unsigned>(unit);
  }
}

struct DecodeCase {
  const char *what;
  std::string utf8;
  std::u16string text;
};

TEST(DecodeUtf8, DecodesValidTextAndReplacesEachMaximalInvalidPart) {
  const DecodeCase cases[] = {
      {"empty", "", u""},
      {"NUL kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"chinese", "设备信息", u"设备信息"},
      {"four bytes", bytes({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600"},
      {"stray continuation", bytes({0x80, 'a', 0xBF}), u"\uFFFDa\uFFFD"},
      {"truncated three-byte sequence", bytes({0xE8, 0xAE, 'a'}), u"\uFFFDa"},
      {"truncated at the end", bytes({'a', 0xF0, 0x9F, 0x98}), u"a\uFFFD"},
      {"overlong two bytes", bytes({0xC0, 0x80}), u"\uFFFD\uFFFD"},
      {"overlong three bytes", bytes({0xE0, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", bytes({0xED, 0xA0, 0x80}), u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", bytes({0xF4, 0x90, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"invalid lead bytes", bytes({0xF5, 0xFF}), u"\uFFFD\uFFFD"},
  };
  for (const DecodeCase &c : cases) {
    EXPECT_EQ(DecodeUtf8(c.utf8), c.text) << c.what;
  }
}

} // namespace
