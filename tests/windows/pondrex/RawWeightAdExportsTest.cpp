// Pondrex.dll's raw-write, polled-weight and AD-read exports against the
// simulated scale, as a host program calls them: bound by name, called as
// stdcall, with the host's own buffers between guard bytes.
#include "GuardedBuffers.h"
#include "HostCallbacks.h"
#include "PeerClient.h"
#include "Pondrex.h"
#include "PondrexExports.h"
#include "ScaleFrames.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace {

using pondrex::test::TGuardedBuffers;
using pos::test::hostCallbackCalls;
using pos::test::HostCallbackSlots;
using pos::test::hostCallbackTexts;
using pos::test::LoadedModule;
using pos::test::PondrexExports;
using pos::test::ScaleClient;
using pos::test::ScaleLogEntry;
using pos::test::slotOf;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;
using Entries = std::vector<std::pair<std::string, Bytes>>;

Bytes bytesOf(const std::string &text) {
  return Bytes(text.begin(), text.end());
}

const Bytes FullAdRequest = pondrex::test::AdRequestFrame(0x38, 0x02, 0x71);
const Bytes MultiAdRequest = pondrex::test::AdRequestFrame(0x38, 0x07, 0x6C);
const Bytes TareZeroAdRequest = pondrex::test::AdRequestFrame(0x39, 0x04, 0x6E);
const Bytes AdU8 = pondrex::test::AdU8Frame("V12", 0x0102, 0xFFFE);
const Bytes AdU9 = pondrex::test::AdU9Frame(16, 0x0203);
const Bytes Measurement = pondrex::test::MeasurementPayload(201);

class PondrexRawWeightAd : public ::testing::Test {
protected:
  void SetUp() override {
    hostCallbackCalls().clear();
    scale_.reset();
    scale_.setId(123456);
    dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
    ASSERT_TRUE(dll_->loaded()) << "LoadLibraryW(Pondrex.dll) failed, error " << dll_->loadError();
    pondrex_ = std::make_unique<PondrexExports>(*dll_);
    const HostCallbackSlots cb = pos::test::hostCallbackSlots();
    // Retry count 5, time-out 300 ms, debug off, the six callbacks.
    pondrex_->call("Config", {5, 300, 0, cb.sensorErr, cb.sensorInfo, cb.opBoxInfo, cb.leadInfo, cb.is1Info,
                              cb.temCompensateInfo});
  }
  void TearDown() override {
    pondrex_->result("CloseDevice");
    EXPECT_EQ(pondrex_->faults(), Texts{});
    pondrex_.reset();
    dll_.reset();
  }

  // Opens the scale (it answers the weight request once) and starts with an
  // empty log and no callbacks recorded.
  void openScale() {
    scale_.is1Text('S', ' ', "  0.00", "kg");
    ASSERT_EQ(pondrex_->result("__Open", {slotOf(port_.c_str()), 9600}), -1);
    scale_.log(1, 3000);
    scale_.is1Off();
    Sleep(150);
    scale_.clear();
    hostCallbackCalls().clear();
  }

  // Calls the export and returns its result and the time it took. The tick
  // count moves in steps of several milliseconds, so the lower bounds below
  // leave some slack.
  std::pair<int32_t, DWORD> timed(const char *name, std::initializer_list<uint32_t> slots = {}) {
    const DWORD started = GetTickCount();
    const int32_t result = pondrex_->result(name, slots);
    return {result, GetTickCount() - started};
  }
  const char *narrow(const char *name, std::initializer_list<uint32_t> slots = {}) {
    return reinterpret_cast<const char *>(static_cast<uintptr_t>(pondrex_->call(name, slots)));
  }
  const wchar_t *wide(const char *name) {
    return reinterpret_cast<const wchar_t *>(static_cast<uintptr_t>(pondrex_->call(name)));
  }
  // What the scale received, as kind and bytes, once count entries came.
  Entries received(size_t count, uint32_t timeoutMs = 3000) {
    Entries entries;
    for (const ScaleLogEntry &entry : scale_.log(count, timeoutMs)) {
      entries.emplace_back(entry.kind, entry.bytes);
    }
    return entries;
  }
  // Pumps through DoEvents until count calls of the callback name came, or
  // three seconds passed.
  size_t pumpUntil(const char *name, size_t count) {
    const DWORD started = GetTickCount();
    while (hostCallbackTexts(name).size() < count && GetTickCount() - started < 3000) {
      pondrex_->call("DoEvents");
      Sleep(5);
    }
    return hostCallbackTexts(name).size();
  }

  ScaleClient scale_;
  std::string port_ = ScaleClient::comPort();
  std::unique_ptr<LoadedModule> dll_;
  std::unique_ptr<PondrexExports> pondrex_;
};

TEST_F(PondrexRawWeightAd, RawWritesPutExactlyTheirBytesOnTheLine) {
  openScale();
  struct Case {
    const char *name;
    uint32_t kind;
    Bytes bytes;
    int32_t result;
  };
  const Case cases[] = {
      {"ChangeProtocol", 1, bytesOf("<PB>\t"), -1},
      // Only the low 16 bits of the kind count.
      {"__ChangeProtocol", 0x10003, bytesOf("<DB>\t"), -1},
      {"ChangePelqoProtocol", 1, bytesOf(std::string("\x01\x02PELQO PELQO PELQO\x03\x04")), -1},
      {"__ChangePelqoProtocol", 2, bytesOf(std::string("\x01\x02PELQO\x03\x04")), -1},
      {"SwitchProtocol", 1, bytesOf("SAVECURPROTOCOL"), 0},
      {"__SwitchProtocol", 2, bytesOf("DEFAULTPROTOCOL"), 0},
      {"IdentifyHard", 0, bytesOf("IDENTIFY HARD"), 0},
      {"__IdentifyHard", 0, bytesOf("IDENTIFY HARD"), 0},
      {"__KQTare", 0, {0xFE}, -1},
      {"__KQZero", 0, {0xFD}, -1},
  };
  for (const Case &c : cases) {
    scale_.clear();
    const bool takesKind = std::strstr(c.name, "Protocol") != nullptr;
    const auto [result, took] = takesKind ? timed(c.name, {c.kind}) : timed(c.name);
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(received(1), (Entries{{"raw", c.bytes}})) << c.name;
    if (std::strstr(c.name, "IdentifyHard") == nullptr) {
      EXPECT_GE(took, 450u) << c.name;
    }
  }
  // A kind that has no bytes writes nothing and still reports success.
  scale_.clear();
  EXPECT_EQ(pondrex_->result("ChangeProtocol", {9}), -1);
  Sleep(200);
  EXPECT_TRUE(scale_.log().empty());
  EXPECT_TRUE(hostCallbackCalls().empty());
}

TEST_F(PondrexRawWeightAd, TareAndZeroTextsAreJudgedByTheScalesAnswer) {
  openScale();
  scale_.reply(bytesOf("<TK>\t"), scale_.frame(0x800E0000));
  scale_.reply(bytesOf("<ZK>\t"), scale_.frame(0x800D0005));
  EXPECT_EQ(pondrex_->result("udeTare"), 1);
  EXPECT_EQ(pondrex_->result("uCleart"), 0);
  EXPECT_EQ(hostCallbackTexts("SENSORERR"), Texts{"SENSORERR code=5"});
  EXPECT_EQ(received(2), (Entries{{"raw", bytesOf("<TK>\t")}, {"raw", bytesOf("<ZK>\t")}}));

  // No answer: 0 after 300 ms.
  scale_.noReply(bytesOf("<TK>\t"));
  const auto [result, took] = timed("udeTare");
  EXPECT_EQ(result, 0);
  EXPECT_GE(took, 250u);
}

TEST_F(PondrexRawWeightAd, TareAndZeroPairsAreWrittenTwiceAndAlwaysSucceed) {
  openScale();
  for (const auto &[name, key] : {std::pair<const char *, uint8_t>{"__udeTare", 0xFE}, {"__uCleart", 0xFD}}) {
    scale_.clear();
    EXPECT_EQ(pondrex_->result(name), 1) << name;
    const std::vector<ScaleLogEntry> log = scale_.log(2, 3000);
    ASSERT_EQ(log.size(), 2u) << name;
    for (const ScaleLogEntry &entry : log) {
      EXPECT_EQ(entry.kind + " " + pos::test::toHex(entry.bytes), "raw " + pos::test::toHex({0x01, key}));
    }
    // The silent scale gets the second pair after the 300 ms wait.
    EXPECT_GE(log[1].timeMs - log[0].timeMs, 250u) << name;
  }
}

TEST_F(PondrexRawWeightAd, ClosedLinkWritesNothing) {
  TGuardedBuffers<PONDREX_AD_BUFFER_SIZE, 2> buffers;
  const auto [result, took] = timed("ChangeProtocol", {1});
  EXPECT_EQ(result, 0);
  EXPECT_LT(took, 100u);
  EXPECT_EQ(pondrex_->result("__KQZero"), 0);
  EXPECT_EQ(pondrex_->result("__ReadTZAD", {slotOf(buffers.Data(0)), slotOf(buffers.Data(1))}), 0);
  EXPECT_EQ(pondrex_->result("udeTare"), 0);
  EXPECT_EQ(hostCallbackTexts(), Texts{"SENSORERR code=-1"});
  EXPECT_EQ(buffers.Text(0) + buffers.Text(1), "untouched"
                                               "untouched");
  EXPECT_TRUE(buffers.GuardsKept());
  Sleep(200);
  EXPECT_TRUE(scale_.log().empty());
}

TEST_F(PondrexRawWeightAd, WeightTextIsHandedOutOnceThenNothing) {
  openScale();
  // The weight frame that answered the open is still held.
  EXPECT_STREQ(narrow("GetWeight"), "S, ,  0.00,kg,0");
  EXPECT_EQ(narrow("__GetWeight"), nullptr);

  const Bytes frame = scale_.is1Text('S', '-', "  1.25", "kg", 0x30);
  scale_.is1Off();
  scale_.push(frame);
  ASSERT_EQ(pumpUntil("IS1INFO", 1), 1u);
  EXPECT_STREQ(narrow("__GetWeight"), "S,-,  1.25,kg,48");
  EXPECT_EQ(narrow("GetWeight"), nullptr);

  // GetWeightEx waits for the next frame itself.
  TGuardedBuffers<PONDREX_WEIGHT_BUFFER_SIZE> buffer;
  scale_.push(frame);
  EXPECT_EQ(pondrex_->result("GetWeightEx", {slotOf(buffer.Data(0))}), -1);
  EXPECT_EQ(buffer.Text(0), "S,-,  1.25,kg,48");
  TGuardedBuffers<PONDREX_WEIGHT_BUFFER_SIZE> untouched;
  const auto [result, took] = timed("__GetWeightEx", {slotOf(untouched.Data(0))});
  EXPECT_EQ(result, 0);
  EXPECT_GE(took, 950u);
  EXPECT_EQ(untouched.Text(0), "untouched");
  EXPECT_TRUE(buffer.GuardsKept() && untouched.GuardsKept());
  EXPECT_TRUE(scale_.log().empty());
}

TEST_F(PondrexRawWeightAd, WeightRequestsReturnTheAnswerAndKeepIt) {
  openScale();
  scale_.is1Text('S', ' ', "  3.50", "kg");
  const wchar_t *text = wide("udeWeight");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::wstring(text), L"S, ,  3.50,kg,0");
  EXPECT_EQ(received(1), (Entries{{"is1req", {0x11}}}));
  // The answer stays held for one more poll.
  EXPECT_STREQ(narrow("GetWeight"), "S, ,  3.50,kg,0");

  scale_.clear();
  scale_.is1Text('U', ' ', "  0.10", "lb");
  EXPECT_STREQ(narrow("__udeWeight"), "U, ,  0.10,lb,0");
  EXPECT_EQ(received(1), (Entries{{"is1req", {0x05, 0x11}}}));

  // A silent scale: eight requests, then nothing.
  scale_.is1Off();
  scale_.clear();
  EXPECT_EQ(wide("udeWeight"), nullptr);
  EXPECT_EQ(received(8), Entries(8, {"is1req", {0x11}}));
}

TEST_F(PondrexRawWeightAd, MeasurementTextIsHandedOutOnce) {
  openScale();
  for (const char *name : {"GetWeightPB", "__GetWeightPB"}) {
    hostCallbackCalls().clear();
    scale_.push(scale_.frame(0x83000000, Measurement));
    ASSERT_EQ(pumpUntil("SENSORINFO", 1), 1u) << name;
    const bool isWide = name[0] != '_';
    if (isWide) {
      const wchar_t *text = wide(name);
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(std::wstring(text), L"12.34,1,13.34,1,2,0,201");
      EXPECT_EQ(wide(name), nullptr);
    } else {
      EXPECT_STREQ(narrow(name), "12.34,1,13.34,1,2,0,201");
      EXPECT_EQ(narrow(name), nullptr);
    }
  }
}

TEST_F(PondrexRawWeightAd, FrameReadsReturnTheValuesOfTheAdFrameThatAnswers) {
  openScale();
  scale_.reply(MultiAdRequest, AdU8);
  scale_.reply(TareZeroAdRequest, AdU9);
  scale_.reply(FullAdRequest, AdU8);

  TGuardedBuffers<PONDREX_AD_BUFFER_SIZE, 3> multi;
  EXPECT_EQ(pondrex_->result("__ReadMultiAD",
                             {slotOf(multi.Data(0)), slotOf(multi.Data(1)), slotOf(multi.Data(2))}),
            -1);
  EXPECT_EQ(multi.Text(0) + " " + multi.Text(1) + " " + multi.Text(2), "258 V12 65534");
  EXPECT_EQ(received(1), (Entries{{"raw", MultiAdRequest}}));

  scale_.clear();
  TGuardedBuffers<PONDREX_AD_BUFFER_SIZE, 2> tareZero;
  EXPECT_EQ(pondrex_->result("__ReadTZAD", {slotOf(tareZero.Data(0)), slotOf(tareZero.Data(1))}), -1);
  EXPECT_EQ(tareZero.Text(0) + " " + tareZero.Text(1), "515 16");
  EXPECT_EQ(received(1), (Entries{{"raw", TareZeroAdRequest}}));

  scale_.clear();
  TGuardedBuffers<PONDREX_AD_BUFFER_SIZE> full;
  EXPECT_EQ(pondrex_->result("__ReadFullAD", {slotOf(full.Data(0))}), -1);
  EXPECT_EQ(full.Text(0), "65534");
  EXPECT_EQ(received(1), (Entries{{"raw", FullAdRequest}}));
  EXPECT_TRUE(multi.GuardsKept() && tareZero.GuardsKept() && full.GuardsKept());
}

TEST_F(PondrexRawWeightAd, SilentScaleGetsTheAdRequestResentAndNoBufferIsWritten) {
  openScale();
  TGuardedBuffers<PONDREX_AD_BUFFER_SIZE> full;
  const auto [result, took] = timed("__ReadFullAD", {slotOf(full.Data(0))});
  EXPECT_EQ(result, 0);
  EXPECT_GE(took, 1100u);
  Bytes resend = FullAdRequest;
  resend.insert(resend.begin(), 0x44);
  Entries expected(7, {"raw", resend});
  expected[0].second = FullAdRequest;
  EXPECT_EQ(received(7), expected);
  EXPECT_EQ(full.Text(0), "untouched");
  EXPECT_TRUE(full.GuardsKept());
}

TEST_F(PondrexRawWeightAd, AdTextRequestsGiveUpAfterTheLinkTimeOutWithAnEmptyText) {
  openScale();
  // 0x11 "AD" and 0x11 "TA".
  for (const auto &[name, request] : {std::pair<const char *, std::string>{"__GetCurrentAD", "\x11\x41\x44"},
                                      {"__GetTareAD", "\x11\x54\x41"}}) {
    scale_.clear();
    const DWORD started = GetTickCount();
    // An empty text, never null: the host may read the result as a string.
    EXPECT_STREQ(narrow(name), "") << name;
    const DWORD took = GetTickCount() - started;
    // 500 ms, then the 300 ms time-out that Config set.
    EXPECT_GE(took, 750u) << name;
    EXPECT_LT(took, 2000u) << name;
    EXPECT_EQ(received(1), (Entries{{"raw", bytesOf(request)}})) << name;
  }
}

} // namespace
