// The gravity-adjust payload: its bytes, the flag that writes nothing, and
// buffers or values it cannot carry.
#include "TAdjustData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pondrex {
namespace {

struct Values {
  uint8_t aFlag, aCity;
  int32_t aValue;
  uint8_t bCity;
  int32_t bValue;
};

void Fill(TAdjustData &record, const Values &v) {
  record.SetAFlag(v.aFlag);
  record.SetACityID(v.aCity);
  record.SetAValue(v.aValue);
  record.SetBCityID(v.bCity);
  record.SetBValue(v.bValue);
}

// The buffer before Execute: 0xEE marks bytes that were not written.
const std::vector<uint8_t> Untouched(12, 0xEE);

TEST(TAdjustData, WritesElevenBytes) {
  const std::vector<std::pair<Values, std::vector<uint8_t>>> cases = {
      {{1, 3, 97940, 5, 97950}, {0x01, 0x03, 0x00, 0x01, 0x7E, 0x94, 0x05, 0x00, 0x01, 0x7E, 0x9E, 0xEE}},
      {{255, 0, 0, 255, 2147483647},
       {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xEE}},
  };
  for (const auto &[values, bytes] : cases) {
    SCOPED_TRACE(values.aValue);
    TAdjustData record;
    Fill(record, values);
    std::vector<uint8_t> buffer = Untouched;
    ASSERT_TRUE(record.Execute(buffer));
    EXPECT_EQ(buffer, bytes);
    EXPECT_EQ(record.BValue(), values.bValue);
  }
}

TEST(TAdjustData, FlagZeroWritesNothing) {
  TAdjustData record;
  Fill(record, {0, 3, 97940, 5, 97950});
  std::vector<uint8_t> buffer = Untouched;
  EXPECT_TRUE(record.Execute(buffer));
  EXPECT_EQ(buffer, Untouched);
  std::vector<uint8_t> empty;
  EXPECT_TRUE(record.Execute(empty));
  EXPECT_TRUE(empty.empty());
}

TEST(TAdjustData, RefusesWhatItCannotWriteAndWritesNothing) {
  const std::vector<std::tuple<std::string, Values, size_t>> cases = {
      {"buffer of 10 bytes", {1, 3, 97940, 5, 97950}, 10},
      {"empty buffer", {1, 3, 97940, 5, 97950}, 0},
      {"negative AValue", {1, 3, -1, 5, 97950}, 12},
      {"negative BValue", {1, 3, 97940, 5, -97950}, 12},
  };
  for (const auto &[name, values, size] : cases) {
    SCOPED_TRACE(name);
    TAdjustData record;
    Fill(record, values);
    std::vector<uint8_t> buffer(size, 0xEE);
    EXPECT_FALSE(record.Execute(buffer));
    EXPECT_EQ(buffer, std::vector<uint8_t>(size, 0xEE));
  }
}

} // namespace
} // namespace pondrex
