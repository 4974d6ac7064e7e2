#include "SystemCodePage.h"

#include <gtest/gtest.h>

namespace pondrex {
namespace {

TEST(SystemCodePage, Windows1252MapsLikeWindows) {
  EXPECT_EQ(Windows1252ToText("A\x80\x81\x8A\x9F\xA0\xE4\xFF"),
            u"A\u20AC\u0081\u0160\u0178\u00A0\u00E4\u00FF");
  EXPECT_EQ(TextToWindows1252(u"A\u20AC\u0081\u0160\u0178\u00E4"), "A\x80\x81\x8A\x9F\xE4");
  // Characters the code page lacks become "?".
  EXPECT_EQ(TextToWindows1252(u"\u4E2D\u0100x"), "??x");
}

TEST(SystemCodePage, Windows1252RoundTripsEveryByte) {
  std::string every;
  for (int byte = 0; byte < 256; ++byte) {
    every.push_back(static_cast<char>(byte));
  }
  const std::u16string text = Windows1252ToText(every);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(TextToWindows1252(text), every);
}

TEST(SystemCodePage, AsciiPassesThroughTheSystemCodePage) {
  EXPECT_EQ(SystemBytesToText("PELQO 12.5"), u"PELQO 12.5");
  EXPECT_EQ(TextToSystemBytes(u"PELQO 12.5"), "PELQO 12.5");
  EXPECT_EQ(SystemBytesToText(""), u"");
  EXPECT_EQ(TextToSystemBytes(u""), "");
  EXPECT_NE(LocaleDecimalSeparator(), u'\0');
}

} // namespace
} // namespace pondrex
