// OP box state: byte order on the wire, the gravity field right after the
// precision byte, and payloads too short for the layout.
#include "TOPBox.h"

#include <gtest/gtest.h>

#include <vector>

namespace pondrex {
namespace {

struct State {
  int32_t softflag, hardware, mainunit, scaletype, precision, gravity;
};

void ExpectState(const State &expected, const TOPBox &record) {
  EXPECT_EQ(record.softflag(), expected.softflag);
  EXPECT_EQ(record.hardware(), expected.hardware);
  EXPECT_EQ(record.mainunit(), expected.mainunit);
  EXPECT_EQ(record.scaletype(), expected.scaletype);
  EXPECT_EQ(record.precision(), expected.precision);
  EXPECT_EQ(record.Gravity(), expected.gravity);
}

TEST(TOPBox, DecodesHardwareFirstThenGravityAtFive) {
  const std::vector<std::pair<std::vector<uint8_t>, State>> cases = {
      {{0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x01, 0x7E, 0x94}, {2, 1, 3, 4, 5, 97940}},
      {{0x80, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE, 0x55}, {255, 128, 0, 0, 0, -2}},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xFF, 0xFF}, {0, 0, 0, 0, 0, 2147483647}},
  };
  for (const auto &[payload, state] : cases) {
    SCOPED_TRACE(testing::PrintToString(payload));
    TOPBox record;
    ASSERT_TRUE(record.Execute(payload));
    ExpectState(state, record);
  }
}

TEST(TOPBox, ShortPayloadLeavesEveryField) {
  TOPBox record;
  ASSERT_TRUE(record.Execute({0x01, 0x02, 0x03, 0x04, 0x05, 0x00, 0x01, 0x7E, 0x94}));
  EXPECT_FALSE(record.Execute({0x09, 0x09, 0x09, 0x09, 0x09, 0x00, 0x00, 0x00}));
  EXPECT_FALSE(record.Execute({}));
  ExpectState({2, 1, 3, 4, 5, 97940}, record);
}

} // namespace
} // namespace pondrex
