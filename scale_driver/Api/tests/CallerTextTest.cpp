// Copies into a caller's buffer that keep to the promised room whatever the
// width of the characters in the code page, and the texts kept for the
// host.
#include "CallerText.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace pondrex::api {
namespace {

// A double-byte code page: ASCII as one byte, every other character (a
// surrogate pair too) as two.
std::optional<std::string> DoubleByte(std::u16string_view character) {
  if (character.size() == 1 && character[0] < 0x80)
    return std::string(1, static_cast<char>(character[0]));
  return std::string("\x81\x40");
}

TEST(CallerText, CopyKeepsToTheRoomWithoutSplittingACharacter) {
  struct Case {
    std::u16string text;
    size_t room;
    std::string written; // without the zero byte
  };
  const Case cases[] = {
      {u"ab\u4E2D", 5, "ab\x81\x40"},
      // The second byte of the last character would be the zero byte's.
      {u"ab\u4E2D", 4, "ab"},
      {u"\U0001F600x", 4, "\x81\x40x"},
      {u"\U0001F600x", 3, "\x81\x40"},
      {u"abc", 1, ""},
  };
  for (const Case &c : cases) {
    std::array<char, 16> buffer;
    buffer.fill('#');
    EXPECT_EQ(CopyToCallerBuffer(c.text, buffer.data(), c.room, &DoubleByte), c.written.size() + 1);
    EXPECT_EQ(std::string(buffer.data()), c.written);
    for (size_t i = c.written.size() + 1; i < buffer.size(); ++i)
      EXPECT_EQ(buffer[i], '#') << i;
  }
  EXPECT_EQ(CopyToCallerBuffer(u"abc", nullptr, 5), 0u);
}

TEST(CallerText, KeptTextsStayAndEqualTextsShareOneCopy) {
  std::vector<std::unique_ptr<char[]>> memory;
  TLifetimeTexts texts(
      [&memory](size_t bytes) { return memory.emplace_back(std::make_unique<char[]>(bytes)).get(); });
  const char *first = texts.Keep("12345");
  for (int i = 0; i < 100; ++i)
    texts.Keep("other" + std::to_string(i % 3));
  EXPECT_STREQ(first, "12345");
  EXPECT_EQ(texts.Keep("12345"), first);
  EXPECT_EQ(texts.Count(), 4u);
  EXPECT_EQ(memory.size(), 4u);

  TLifetimeTexts noMemory([](size_t) -> char * { return nullptr; });
  EXPECT_EQ(noMemory.Keep("x"), nullptr);
}

} // namespace
} // namespace pondrex::api
