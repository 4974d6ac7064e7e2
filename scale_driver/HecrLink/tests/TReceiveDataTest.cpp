// Measurement results: the fields each Mode carries, the extra division of
// tare and gross for two units, and payloads too short for their Mode.
#include "TReceiveData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pondrex {
namespace {

struct Decoded {
  uint8_t flag;
  int32_t mode, unit, decimals;
  double net, tare, gross;
  int32_t oldAd, filterAd, zeroAd, weightAd;
};

Decoded Read(const TReceiveData &r) {
  return {r.Flag(),        r.Mode(),  r.AUnit(),    r.DecimalDigit(), r.NetWeight(), r.Tare(),
          r.Grossweight(), r.OldAd(), r.FilterAd(), r.ZeroAd(),       r.WeightAd()};
}

void ExpectFields(const Decoded &expected, const TReceiveData &r) {
  const Decoded got = Read(r);
  EXPECT_EQ(got.flag, expected.flag);
  EXPECT_EQ(got.mode, expected.mode);
  EXPECT_EQ(got.unit, expected.unit);
  EXPECT_EQ(got.decimals, expected.decimals);
  EXPECT_DOUBLE_EQ(got.net, expected.net);
  EXPECT_DOUBLE_EQ(got.tare, expected.tare);
  EXPECT_DOUBLE_EQ(got.gross, expected.gross);
  EXPECT_EQ(got.oldAd, expected.oldAd);
  EXPECT_EQ(got.filterAd, expected.filterAd);
  EXPECT_EQ(got.zeroAd, expected.zeroAd);
  EXPECT_EQ(got.weightAd, expected.weightAd);
}

// Values no payload of the cases produces, so that a field the decoder
// forgot to set or to clear shows.
constexpr Decoded Stale = {99, 99, 99, 99, 99.5, 99.5, 99.5, 99, 99, 99, 99};

void MakeStale(TReceiveData &r) {
  r.SetFlag(Stale.flag);
  r.SetMode(Stale.mode);
  r.SetAUnit(Stale.unit);
  r.SetDecimalDigit(Stale.decimals);
  r.SetNetWeight(Stale.net);
  r.SetTare(Stale.tare);
  r.SetGrossweight(Stale.gross);
  r.SetOldAd(Stale.oldAd);
  r.SetFilterAd(Stale.filterAd);
  r.SetZeroAd(Stale.zeroAd);
  r.SetWeightAd(Stale.weightAd);
}

struct MeasurementCase {
  std::string name;
  std::vector<uint8_t> payload;
  Decoded expected;
};

TEST(TReceiveData, DecodesTheFieldsOfEachMode) {
  const std::vector<MeasurementCase> cases = {
      {"weights",
       {0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x04, 0xD2, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x05, 0x36},
       {0, 1, 0, 2, 12.34, 1.0, 13.34, 0, 0, 0, 0}},
      {"negative net is sign and magnitude",
       {0x00, 0x02, 0x00, 0x02, 0x80, 0x00, 0x04, 0xD2, 0x80, 0x00, 0x00, 0x64, 0x00, 0x00, 0x05, 0x36},
       {0, 2, 0, 2, -12.34, -1.0, 13.34, 0, 0, 0, 0}},
      {"A/D values, no weights",
       {0x05, 0x7F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x01, 0xFF, 0xFF, 0x80, 0x03, 0x7F, 0xFF},
       {5, 127, 1, 0, 10, 0, 0, 1, -255, -3, 32767}},
      {"mode 0 carries only the net",
       {0xC9, 0x00, 0x03, 0x01, 0x00, 0x00, 0x00, 0x7B, 0x00, 0x00, 0x00, 0x64, 0x00, 0x01, 0x00, 0x01},
       {201, 0, 3, 1, 12.3, 0, 0, 0, 0, 0, 0}},
      {"mode 3 needs only 8 bytes",
       {0xFF, 0x03, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01},
       {255, 3, 255, 0, 1, 0, 0, 0, 0, 0, 0}},
      {"flag 201 unit 3: tare and gross / 10",
       {0xC9, 0x01, 0x03, 0x02, 0x00, 0x00, 0x04, 0xD2, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x05, 0x36},
       {201, 1, 3, 2, 12.34, 0.1, 1.334, 0, 0, 0, 0}},
      {"flag 201 unit 8: tare and gross / 10",
       {0xC9, 0x02, 0x08, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x11},
       {201, 2, 8, 0, 12, 0.5, 1.7, 0, 0, 0, 0}},
      {"flag 201 unit 1: nothing divided",
       {0xC9, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x11},
       {201, 1, 1, 0, 12, 5, 17, 0, 0, 0, 0}},
      {"flag 200 unit 3: nothing divided",
       {0xC8, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x11},
       {200, 1, 3, 0, 12, 5, 17, 0, 0, 0, 0}},
      {"bytes after the layout are ignored",
       {0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0xAA},
       {0, 1, 0, 0, 1, 2, 3, 0, 0, 0, 0}},
  };
  for (const MeasurementCase &c : cases) {
    SCOPED_TRACE(c.name);
    TReceiveData record;
    MakeStale(record);
    EXPECT_FALSE(record.IsClear());
    ASSERT_TRUE(record.Execute(c.payload));
    ExpectFields(c.expected, record);
    EXPECT_TRUE(record.IsClear());
  }
}

TEST(TReceiveData, PayloadShorterThanItsModeLeavesEveryField) {
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"7 bytes", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {"mode 1, 15 bytes", {0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0}},
      {"mode 2, 8 bytes", {0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}},
      {"mode 127, 15 bytes", {0x00, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto &[name, payload] : cases) {
    SCOPED_TRACE(name);
    TReceiveData record;
    MakeStale(record);
    EXPECT_FALSE(record.Execute(payload));
    ExpectFields(Stale, record);
    EXPECT_FALSE(record.IsClear());
  }
}

TEST(TReceiveData, IsClearStaysSetAfterAShortPayload) {
  TReceiveData record;
  ASSERT_TRUE(record.Execute({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}));
  EXPECT_FALSE(record.Execute({0x00, 0x01}));
  EXPECT_TRUE(record.IsClear());
  EXPECT_DOUBLE_EQ(record.NetWeight(), 1);
}

} // namespace
} // namespace pondrex
