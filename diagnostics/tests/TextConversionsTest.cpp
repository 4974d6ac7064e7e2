#include "TextConversions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>
#include <string>

namespace {

using namespace tavrel;

TEST(Utf8ToWideString, ConvertsUpToTheFirstNul) {
  struct Case {
    const char *what;
    std::string utf8;
    std::u16string wide;
  } const cases[] = {
      {"empty", "", u""},
      {"text", "系统 info\r\n", u"系统 info\r\n"},
      {"stops at a NUL in the middle", std::string("ab\0cd", 5), u"ab"},
      {"NUL first", std::string("\0cd", 3), u""},
      {"invalid bytes are replaced, not a failure",
       "a\xFF"
       "b",
       u"a\uFFFDb"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Utf8ToWideString(c.utf8), c.wide) << c.what;
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.what;
  }
}

TEST(ReplaceNewlinesWithSpaces, ReplacesEveryLineFeedAndKeepsCarriageReturns) {
  EXPECT_EQ(ReplaceNewlinesWithSpaces("a\r\nb\n\nc"), "a\r b  c");
  EXPECT_EQ(ReplaceNewlinesWithSpaces("\n"), " ");
  EXPECT_EQ(ReplaceNewlinesWithSpaces(""), "");
}

TEST(ContainsText, FindsSubstrings) {
  struct Case {
    const char *text;
    const char *needle;
    bool found;
  } const cases[] = {
      {"abc", "bc", true}, {"abc", "cb", false}, {"abc", "", true},
      {"", "", true},      {"", "a", false},     {"abc", "abcd", false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ContainsText(c.text, c.needle), c.found) << c.text << " / " << c.needle;
  }
}

// Switches the C runtime to a UTF-8 locale for one test.
class Utf8Locale {
public:
  Utf8Locale() : saved_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  }
  ~Utf8Locale() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool active() const { return active_; }

private:
  std::string saved_;
  bool active_ = false;
};

TEST(NarrowToWide, ConvertsInTheCurrentLocale) {
  Utf8Locale locale;
  ASSERT_TRUE(locale.active());
  EXPECT_EQ(NarrowToWide(""), u"");
  EXPECT_EQ(NarrowToWide("设备 é"), u"设备 é");
  EXPECT_EQ(NarrowToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
  // Every byte a character: the longest result fits the buffer exactly.
  EXPECT_EQ(NarrowToWide(std::string(1000, 'x')), std::u16string(1000, u'x'));
  EXPECT_EQ(NarrowToWide(std::string("ab\0cd", 5)), u"ab");
}

TEST(NarrowToWide, ThrowsOnASequenceTheLocaleDoesNotKnow) {
  Utf8Locale locale;
  ASSERT_TRUE(locale.active());
  try {
    NarrowToWide("ok \xFF");
    FAIL() << "no exception";
  } catch (const std::runtime_error &error) {
    EXPECT_STREQ(error.what(), "Conversion from UTF-8 to wstring failed");
  }
}

TEST(LogAndConvertUtf8, WritesItsLineAndConverts) {
  testing::internal::CaptureStdout();
  const std::u16string wide = LogAndConvertUtf8("日志");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "delete exception char\n");
  EXPECT_EQ(wide, u"日志");
}

} // namespace
