// Config and SetCallBackFunc: which slots they fill, the names they know,
// and the link settings that Config stores.
#include "CallbackRegistration.h"
#include "ApiTestFixture.h"

namespace pondrex::test {
namespace {

using api::TConfigCallbacks;

// Distinct values standing for callbacks; the slots are never called here.
constexpr uintptr_t A = 0x1000, B = 0x2000, C = 0x3000, D = 0x4000, E = 0x5000, F = 0x6000, G = 0x7000;

template <typename Proc> uintptr_t Value(Proc proc) {
  return reinterpret_cast<uintptr_t>(proc);
}

using CallbackRegistration = ApiFixture;

TEST_F(CallbackRegistration, ConfigStoresTheLinkSettingsAndOverwritesItsSixSlotsOnly) {
  api::SetCallBackFunc(slots, u"OPBOXCOUNTRYCODEINFO", G, false);
  api::SetCallBackFunc(slots, u"RKV_IS1INFO", G, true);
  api::Config(link(), slots, 3, 700, 0x100, {A, B, C, D, E, F});
  EXPECT_EQ(link().Retrycnt(), 3);
  EXPECT_EQ(link().TimeOut(), 700);
  EXPECT_FALSE(link().Debug()); // only the low byte counts
  EXPECT_EQ(Value(slots.SensorErrProc), A);
  EXPECT_EQ(Value(slots.SensorInfoProc), B);
  EXPECT_EQ(Value(slots.OpBoxInfoProc), C);
  EXPECT_EQ(Value(slots.LeadInfoProc), D);
  EXPECT_EQ(Value(slots.Is1InfoProc), E);
  EXPECT_EQ(Value(slots.TemCompensateInfoProc), F);
  EXPECT_EQ(Value(slots.OpBoxCountryCodeInfoProc), G);
  EXPECT_EQ(Value(slots.RkvIs1InfoProc), G);

  api::Config(link(), slots, 0, -1, 1, TConfigCallbacks{});
  EXPECT_EQ(link().Retrycnt(), 0);
  EXPECT_EQ(link().TimeOut(), -1);
  EXPECT_TRUE(link().Debug());
  EXPECT_EQ(slots.SensorErrProc, nullptr);
  EXPECT_EQ(slots.Is1InfoProc, nullptr);
  EXPECT_EQ(slots.TemCompensateInfoProc, nullptr);
  EXPECT_EQ(Value(slots.OpBoxCountryCodeInfoProc), G);
}

TEST_F(CallbackRegistration, RoutedConfigPutsTheFifthCallbackWhereItsTenthArgumentSays) {
  api::Config(link(), slots, 5, 5000, 0, {A, B, C, D, E, F});
  api::ConfigRouted(link(), slots, 5, 5000, 0, {A, B, C, D, G, F}, 0x01);
  EXPECT_EQ(Value(slots.Is1InfoProc), E);
  EXPECT_EQ(Value(slots.RkvIs1InfoProc), G);
  api::ConfigRouted(link(), slots, 5, 5000, 0, {A, B, C, D, F, F}, 0x100);
  EXPECT_EQ(Value(slots.Is1InfoProc), F);
  EXPECT_EQ(Value(slots.RkvIs1InfoProc), G);
}

TEST_F(CallbackRegistration, NamesMatchWithAsciiLettersUpperCasedAndNothingElse) {
  struct Case {
    std::u16string name;
    bool knowsRkv;
    std::string slot; // the one slot filled, "" for none
  };
  const Case cases[] = {
      {u"sensorErr", false, "SENSORERR"},
      {u"SENSORERR ", false, ""},
      {u"Sensorinfo", false, "SENSORINFO"},
      {u"opboxinfo", false, "OPBOXINFO"},
      {u"LeadInfo", false, "LEADINFO"},
      {u"is1info", false, "IS1INFO"},
      {u"temcompensateinfo", false, "TEMCOMPENSATEINFO"},
      {u"opBoxCountryCodeInfo", false, "OPBOXCOUNTRYCODEINFO"},
      {u"progressbar", false, "PROGRESSBAR"},
      {u"GetUsbDevice", false, "GETUSBDEVICE"},
      {u"RKV_IS1INFO", false, ""},
      {u"rkv_is1info", true, "RKV_IS1INFO"},
      {u"", true, ""},
      {u"\u0131s1info", true, ""}, // a dotless i is no ASCII letter
  };
  for (const Case &c : cases) {
    TCallbackSlots filled;
    const bool matched = api::SetCallBackFunc(filled, c.name, A, c.knowsRkv);
    const std::vector<std::pair<std::string, uintptr_t>> all = {
        {"SENSORERR", Value(filled.SensorErrProc)},
        {"SENSORINFO", Value(filled.SensorInfoProc)},
        {"OPBOXINFO", Value(filled.OpBoxInfoProc)},
        {"LEADINFO", Value(filled.LeadInfoProc)},
        {"IS1INFO", Value(filled.Is1InfoProc)},
        {"RKV_IS1INFO", Value(filled.RkvIs1InfoProc)},
        {"TEMCOMPENSATEINFO", Value(filled.TemCompensateInfoProc)},
        {"OPBOXCOUNTRYCODEINFO", Value(filled.OpBoxCountryCodeInfoProc)},
        {"PROGRESSBAR", Value(filled.ProgressBarProc)},
        {"GETUSBDEVICE", Value(filled.GetUsbDeviceProc)},
    };
    std::string got;
    for (const auto &[name, value] : all)
      if (value != 0)
        got += name;
    const std::string shown(c.name.begin(), c.name.end());
    EXPECT_EQ(got, c.slot) << shown;
    EXPECT_EQ(matched, !c.slot.empty()) << shown;
  }
}

TEST_F(CallbackRegistration, NullCallbackEmptiesItsSlot) {
  api::SetCallBackFunc(slots, u"SENSORINFO", B, false);
  EXPECT_TRUE(api::SetCallBackFunc(slots, u"SENSORINFO", 0, false));
  EXPECT_EQ(slots.SensorInfoProc, nullptr);
}

} // namespace
} // namespace pondrex::test
