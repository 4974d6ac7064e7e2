// The raw zero and tare and the framed commands called from the weight
// callback, as hosts call them: each gets its own answer (never a frame that
// came before its request), keeps its own outcome when another callback runs
// during its wait, and the callbacks nest no deeper than one level however
// fast the scale streams.
#include "CommandSend.h"
#include "OpenLinkFixture.h"
#include "RawWrites.h"

#include <cstdio>
#include <optional>

namespace pondrex::test {
namespace {

using api::TScaleKey;

constexpr int32_t TareId = 5;

Bytes Weight(int32_t n) {
  char text[8];
  std::snprintf(text, sizeof text, "%6d", static_cast<int>(n % 1000000));
  return Is1Frame('S', ' ', text, "kg", 0);
}
int32_t WeightNumber(const TIS1 &frame) {
  return std::stoi(std::string(frame.Weight().begin(), frame.Weight().end()));
}
bool IsTareFrame(const Bytes &bytes) {
  return bytes.size() >= 13 && bytes[5] == 0x80 && bytes[6] == 0x04;
}

int32_t RawTare(TPSensor &sensor) {
  return api::RawZeroOrTare(sensor, api::RawTareByte);
}
int32_t KeyTextTare(TPSensor &sensor) {
  return api::KeyText(sensor, TScaleKey::Tare);
}
int32_t FramedTare(TPSensor &sensor) {
  return api::CommandSend(sensor, TareId, std::nullopt, std::nullopt, {}, "123456");
}

class HandlerWaits : public OpenLinkFixture {
protected:
  // The host's message loop: pumps until done() or limitMs passed.
  template <typename Done> void HostLoop(Done done, uint32_t limitMs = 5000) {
    const uint32_t start = platform.MonotonicMs();
    while (!done() && ElapsedTicks(start, platform.MonotonicMs()) < limitMs)
      platform.WaitAndPump(10);
  }
};

// A raw request from the weight callback: what the scale sent before it (a
// frame queued behind the weight frame in the same chunk) is not its
// answer; it reaches SENSORERR after the callback returns.
TEST_F(HandlerWaits, RawWaitFromACallbackIsAnsweredOnlyByAFrameAfterItsRequest) {
  struct Export {
    const char *name;
    int32_t (*run)(TPSensor &);
    Bytes request;
    int32_t accepted;
  };
  const Export exports[] = {{"__Tare", RawTare, {0xFE}, -1}, {"udeTare", KeyTextTare, Text("<TK>\t"), 1}};
  struct Case {
    const char *name;
    Bytes stale;  // behind the weight frame, sent before the request
    Bytes answer; // the scale's answer to the request; empty: it only streams weights
    bool accepted;
    std::vector<int32_t> errors;
  };
  const Case cases[] = {
      {"stale refusal, then the acknowledgement", ScaleFrame(0x800D0004), ScaleFrame(0x800E0000), true, {4}},
      {"stale acknowledgement, no answer", ScaleFrame(0x800E0000), {}, false, {}},
      {"stale acknowledgement, then a refusal", ScaleFrame(0x800E0000), ScaleFrame(0x800D0007), false, {7}},
      {"nothing stale, the acknowledgement", {}, ScaleFrame(0x800E0000), true, {}},
  };
  for (const Export &e : exports) {
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(e.name) + ": " + c.name);
      SensorErrors().clear();
      line.ClearEvents();
      Answer(e.request, c.answer, 20);
      std::optional<int32_t> result;
      link().OnIS1Event = [&](THecrLink &, TIS1 &) {
        if (!result)
          result = e.run(sensor);
      };
      line.Send(Join({Weight(1), c.stale}));
      HostLoop([&] { return result.has_value(); });
      platform.WaitAndPump(50);
      ASSERT_TRUE(result.has_value());
      EXPECT_EQ(*result, c.accepted ? e.accepted : 0);
      EXPECT_EQ(SensorErrors(), c.errors);
      EXPECT_EQ(line.Writes(), std::vector<Bytes>{e.request});
    }
  }
}

// Outside any callback, a frame cut by the request's write that is completed
// after it began before the request: it is raised, but answers nothing.
TEST_F(HandlerWaits, FrameCutByTheRawRequestIsKeptButIsNotItsAnswer) {
  const Bytes stale = ScaleFrame(0x800D0004);
  line.Send(Bytes(stale.begin(), stale.begin() + 6));
  platform.PumpMessages();
  ASSERT_EQ(link().offset(), 6);
  line.SetResponder([&](TFakeSerialLine &l, const TWrittenBlock &) {
    l.Send(Bytes(stale.begin() + 6, stale.end()), 5);
    l.Send(ScaleFrame(0x800E0000), 20);
  });
  EXPECT_EQ(RawTare(sensor), -1);
  EXPECT_EQ(SensorErrors(), std::vector<int32_t>{4});
}

// A callback that runs during an export's wait and calls another command
// export: that call fails at once and writes nothing, and the waiting export
// keeps its own outcome.
TEST_F(HandlerWaits, NestedCallKeepsTheOuterOutcome) {
  struct Case {
    const char *name;
    int32_t (*outer)(TPSensor &);
    int32_t (*inner)(TPSensor &);
    Bytes answer; // to the outer request, 30 ms after a weight frame at 5 ms
    int32_t outerResult;
    std::vector<int32_t> errors;
  };
  const Case cases[] = {
      {"__Tare acknowledged, Tare inside", RawTare, FramedTare, ScaleFrame(0x800E0000), -1, {}},
      {"__Tare refused, __Tare inside", RawTare, RawTare, ScaleFrame(0x800D0003), 0, {3}},
      {"Tare acknowledged, __Tare inside", FramedTare, RawTare, ScaleFrame(0x800E0000), -1, {}},
      {"Tare refused, udeTare inside", FramedTare, KeyTextTare, ScaleFrame(0x800D0006), 0, {6}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    SensorErrors().clear();
    line.ClearEvents();
    line.SetResponder([&c](TFakeSerialLine &l, const TWrittenBlock &) {
      l.Send(Weight(1), 5);
      l.Send(c.answer, 30);
    });
    std::vector<int32_t> inner;
    link().OnIS1Event = [&](THecrLink &, TIS1 &) { inner.push_back(c.inner(sensor)); };
    EXPECT_EQ(Timed([&] { return c.outer(sensor); }), c.outerResult);
    EXPECT_LT(Took(), 100u);
    EXPECT_EQ(inner, std::vector<int32_t>{0});
    EXPECT_EQ(line.Writes().size(), 1u);
    EXPECT_EQ(SensorErrors(), c.errors);
  }
}

// The host: the weight callback calls __Tare; the scale sends the
// next weight frame during that wait and then acknowledges; the next frame's
// callback calls Tare. Each gets its own acknowledgement at once.
TEST_F(HandlerWaits, RawTareFromACallbackAndTareFromTheNextOneBothGetTheirAnswers) {
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &block) {
    if (block.Bytes == Bytes{0xFE}) {
      l.Send(Weight(2), 10);
      l.Send(ScaleFrame(0x800E0000), 30);
    } else if (IsTareFrame(block.Bytes)) {
      l.Send(ScaleFrame(0x800E0000), 5);
    }
  });
  std::vector<std::string> order;
  link().OnIS1Event = [&](THecrLink &, TIS1 &frame) {
    const int32_t n = WeightNumber(frame);
    order.push_back("begin " + std::to_string(n));
    const uint32_t start = platform.MonotonicMs();
    const int32_t result = n == 1 ? RawTare(sensor) : FramedTare(sensor);
    order.push_back("end " + std::to_string(n) + " " + std::to_string(result) + " " +
                    (ElapsedTicks(start, platform.MonotonicMs()) < 100 ? "fast" : "slow"));
  };
  line.Send(Weight(1));
  HostLoop([&] { return order.size() == 4; });
  EXPECT_EQ(order, (std::vector<std::string>{"begin 1", "end 1 -1 fast", "begin 2", "end 2 -1 fast"}));
  EXPECT_TRUE(SensorErrors().empty());
}

// A weight callback that calls __Tare while the scale streams a frame every
// 20 ms and answers nothing: the frames that come during each wait are held
// back, so the callbacks never nest, and every frame comes in line order.
TEST_F(HandlerWaits, RawTareInEveryCallbackOfAStreamingScaleNestsNoDeeper) {
  constexpr int32_t Frames = 40;
  for (int32_t i = 0; i < Frames; ++i)
    line.Send(Weight(i), static_cast<uint32_t>(20 * i));
  std::vector<int32_t> raised;
  int32_t depth = 0;
  int32_t deepest = 0;
  std::vector<int32_t> results;
  link().OnIS1Event = [&](THecrLink &, TIS1 &frame) {
    raised.push_back(WeightNumber(frame));
    deepest = std::max(deepest, ++depth);
    results.push_back(RawTare(sensor));
    --depth;
  };
  HostLoop([&] { return raised.size() == static_cast<size_t>(Frames); }, 60000);
  EXPECT_EQ(deepest, 1);
  std::vector<int32_t> inOrder(Frames);
  for (int32_t i = 0; i < Frames; ++i)
    inOrder[static_cast<size_t>(i)] = i;
  EXPECT_EQ(raised, inOrder);
  EXPECT_EQ(results, std::vector<int32_t>(Frames, 0));
  EXPECT_EQ(WeightNumber(link().IS1()), Frames - 1);
}

} // namespace
} // namespace pondrex::test
