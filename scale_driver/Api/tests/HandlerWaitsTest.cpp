// The raw zero and tare and the framed commands called from the weight
// callback, as hosts call them: each gets its own answer (never a frame that
// came before its request, however late the port hands it out), keeps its
// own outcome when another callback runs during its wait, and the callbacks
// nest no deeper than one level however fast the scale streams. A close
// ends what the session held.
#include "CommandSend.h"
#include "OpenLinkFixture.h"
#include "RawWrites.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
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

// An acknowledgement left from an earlier request, in a chunk of its own
// that the port read before the request was written but handed out only
// during its wait, is no answer to it: from the weight callback (the host
// pumps late, so the weight frame and that chunk are both read when the
// callback runs) or from the host's own code. The scale's own answer, when
// it comes, still is.
TEST_F(HandlerWaits, AChunkReadBeforeTheRequestDoesNotAnswerIt) {
  struct Export {
    const char *name;
    int32_t (*run)(TPSensor &);
    int32_t accepted;
  };
  const Export exports[] = {{"__Tare", RawTare, -1}, {"udeTare", KeyTextTare, 1}, {"Tare", FramedTare, -1}};
  for (const Export &e : exports) {
    for (const bool fromCallback : {true, false}) {
      for (const bool scaleAnswers : {false, true}) {
        SCOPED_TRACE(std::string(e.name) + (fromCallback ? " from the callback" : " from the host") +
                     (scaleAnswers ? ", the scale answers" : ", the scale is silent"));
        line.ClearEvents();
        line.SetResponder([scaleAnswers](TFakeSerialLine &l, const TWrittenBlock &) {
          if (scaleAnswers)
            l.Send(ScaleFrame(0x800E0000), 20);
        });
        std::optional<int32_t> result;
        if (fromCallback) {
          link().OnIS1Event = [&](THecrLink &, TIS1 &) {
            if (!result)
              result = e.run(sensor);
          };
          line.Send(Weight(1));
          line.Send(ScaleFrame(0x800E0000), 5);
          platform.Sleep(20);
          HostLoop([&] { return result.has_value(); }, 60000);
        } else {
          link().OnIS1Event = nullptr;
          line.Send(ScaleFrame(0x800E0000));
          result = e.run(sensor);
        }
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, scaleAnswers ? e.accepted : 0);
        platform.WaitAndPump(50);
      }
    }
  }
}

// The scale streams weight frames back to back while the first one's
// callback calls Tare, which the scale never answers: the wait lasts its
// five attempts of five seconds and holds back some 1,500 frames at 9600
// baud and 18,000 at 115200. Once the callback returns, every frame comes,
// once each and in the order of the line.
TEST_F(HandlerWaits, EveryFrameHeldDuringAFullTareWaitComesOnceInOrder) {
  for (const uint32_t baud : {9600u, 115200u}) {
    SCOPED_TRACE(std::to_string(baud) + " baud");
    const uint32_t bytesPerSecond = baud / 10;
    // Long enough to outlast the wait.
    const uint32_t streamMs = 27000;
    const int32_t frames = static_cast<int32_t>(uint64_t{bytesPerSecond} * streamMs / 1000 / 16);
    Bytes stream;
    for (int32_t i = 0; i < frames; ++i) {
      const Bytes frame = Weight(i);
      stream.insert(stream.end(), frame.begin(), frame.end());
    }
    // Read every 20 ms, in chunks of the whole frames that came meanwhile:
    // a frame cut by the write of an attempt would be dropped there, as
    // every attempt drops an incomplete frame.
    const uint64_t startMs = platform.MonotonicMs();
    size_t from = 0;
    for (uint32_t atMs = 20; from < stream.size(); atMs += 20) {
      const size_t to =
          std::min(stream.size(), static_cast<size_t>(uint64_t{bytesPerSecond} * atMs / 1000 / 16 * 16));
      if (to == from)
        continue;
      line.Send(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(from),
                      stream.begin() + static_cast<std::ptrdiff_t>(to)),
                atMs);
      from = to;
    }
    std::vector<int32_t> raised;
    std::optional<int32_t> tare;
    uint32_t tareEndedMs = 0;
    int32_t depth = 0;
    int32_t deepest = 0;
    link().OnIS1Event = [&](THecrLink &, TIS1 &frame) {
      raised.push_back(WeightNumber(frame));
      deepest = std::max(deepest, ++depth);
      if (!tare) {
        tare = FramedTare(sensor);
        tareEndedMs = static_cast<uint32_t>(platform.MonotonicMs() - startMs);
      }
      --depth;
    };
    HostLoop([&] { return raised.size() >= static_cast<size_t>(frames); }, streamMs + 5000);
    ASSERT_TRUE(tare.has_value());
    EXPECT_EQ(*tare, 0);
    EXPECT_GE(tareEndedMs, 25000u);
    EXPECT_EQ(deepest, 1);
    std::vector<int32_t> inOrder(static_cast<size_t>(frames));
    std::iota(inOrder.begin(), inOrder.end(), 0);
    EXPECT_EQ(raised, inOrder);
  }
}

// A close drops what the session held. Six bytes of a frame held when the
// link closes are not completed by the first answer of the next session, and
// a chunk read before the close that the port hands out after the next open
// is not taken into it: the first command of the new session gets its answer
// and nothing of the old one is raised.
TEST_F(HandlerWaits, TheNextSessionStartsWithNothingOfTheClosedOne) {
  const Bytes weight = Weight(7);
  struct Case {
    const char *name;
    Bytes beforeTheClose;
    bool pumped; // taken by the receive path before the close
  };
  const Case cases[] = {
      {"bytes of a frame held", Bytes(weight.begin(), weight.begin() + 6), true},
      {"a whole frame handed out after the open", weight, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int32_t> raised;
    link().OnIS1Event = [&](THecrLink &, TIS1 &frame) { raised.push_back(WeightNumber(frame)); };
    line.Send(c.beforeTheClose);
    if (c.pumped) {
      platform.PumpMessages();
      ASSERT_EQ(link().offset(), 6);
    }
    link().Close();
    link().Open();
    ASSERT_TRUE(link().Active());
    Answer({0xFE}, ScaleFrame(0x800E0000), 5);
    EXPECT_EQ(RawTare(sensor), -1);
    platform.WaitAndPump(50);
    EXPECT_EQ(raised, std::vector<int32_t>{});
    EXPECT_EQ(link().offset(), 0);
  }
}

// The weight callback's Tare is refused, and the error handler closes the
// link: the weight frames that came during the wait are not raised after the
// close, nor is the one that comes after it.
TEST_F(HandlerWaits, CloseFromAHandlerRaisesNothingMoreOfTheSession) {
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &block) {
    if (!IsTareFrame(block.Bytes))
      return;
    for (int32_t i = 2; i <= 4; ++i)
      l.Send(Weight(i), static_cast<uint32_t>(5 * (i - 1)));
    l.Send(ScaleFrame(0x800D0007), 30);
    l.Send(Weight(5), 200);
  });
  std::vector<int32_t> raised;
  std::optional<int32_t> tare;
  link().OnIS1Event = [&](THecrLink &, TIS1 &frame) {
    raised.push_back(WeightNumber(frame));
    if (!tare)
      tare = FramedTare(sensor);
  };
  link().OnError = [&](THecrLink &, int32_t code) {
    if (code == 7)
      link().Close();
  };
  line.Send(Weight(1));
  HostLoop([] { return false; }, 500);
  ASSERT_TRUE(tare.has_value());
  EXPECT_EQ(*tare, 0);
  EXPECT_FALSE(link().Active());
  EXPECT_EQ(raised, std::vector<int32_t>{1});
}

} // namespace
} // namespace pondrex::test
