// The display and drawer byte sequences, and the port list text, byte for byte.
#include "DisplayCommands.h"
#include "ComPortListText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace morvale {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DisplayCommands, FixedCommands) {
  EXPECT_EQ(InitDisplayCommand(), (Bytes{0x1B, 0x40}));
  EXPECT_EQ(ClearDisplayCommand(), (Bytes{0x0C}));
  EXPECT_EQ(OpenCashBoxCommand(), (Bytes{0x02, 0x4D}));
}

TEST(DisplayCommands, TextIsFramedByEscQAAndCarriageReturn) {
  struct Case {
    const char *name;
    std::string text;
    Bytes expected;
  };
  const Case cases[] = {
      {"empty writes nothing", "", {}},
      {"three bytes", "abc", {0x1B, 0x51, 0x41, 'a', 'b', 'c', 0x0D}},
      {"bytes as they stand",
       std::string("\xB9\xA4\x0D\x1B", 4),
       {0x1B, 0x51, 0x41, 0xB9, 0xA4, 0x0D, 0x1B, 0x0D}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DisplayTextCommand(c.text), c.expected);
  }
}

TEST(DisplayCommands, LightStatusOnlyForZeroToFour) {
  struct Case {
    int32_t status;
    Bytes expected;
  };
  const Case cases[] = {
      {0, {0x1B, 0x73, 0x30}}, {1, {0x1B, 0x73, 0x31}}, {4, {0x1B, 0x73, 0x34}}, {5, {}}, {-1, {}}, {48, {}},
      {INT32_MIN, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.status);
    EXPECT_EQ(LightStatusCommand(c.status), c.expected);
  }
}

TEST(ComPortListText, QuotedNamesJoinedByCommas) {
  struct Case {
    const char *name;
    std::vector<int> ports;
    std::string expected;
  };
  const Case cases[] = {
      {"none", {}, "[]"},
      {"one", {7}, "[\"COM7\"]"},
      {"many", {1, 3, 10, 256}, "[\"COM1\",\"COM3\",\"COM10\",\"COM256\"]"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComPortListText(c.ports), c.expected);
  }
}

TEST(ComPortListText, EveryPortFitsTheHostBuffer) {
  std::vector<int> all(LastComPort - FirstComPort + 1);
  std::iota(all.begin(), all.end(), FirstComPort);
  const std::string text = ComPortListText(all);
  EXPECT_LT(text.size() + 1, ComPortListBufferSize);
  EXPECT_EQ(text.substr(0, 17), "[\"COM1\",\"COM2\",\"C");
  EXPECT_EQ(text.substr(text.size() - 10), ",\"COM256\"]");
}

} // namespace
} // namespace morvale
