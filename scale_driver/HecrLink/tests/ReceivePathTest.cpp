// The receive path: frames reassembled from chunks of any size, dispatched
// once each, in order, with the seen-flags and the AD readings.
#include "LinkTestSupport.h"
#include "TickCount.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>

namespace pondrex::test {
namespace {

// A text-form protocol frame: '<' 'Z' 'K' '>' stand where the start byte and
// the first three ID bytes are.
Bytes TextFormFrame(char kind, uint32_t command, const Bytes &data) {
  return BuildFrame({.Start = '<',
                     .EcrId = static_cast<uint32_t>(kind) << 24 | uint32_t{'K'} << 16 | uint32_t{'>'} << 8,
                     .Command = command,
                     .Data = data});
}

const Bytes Measurement =
    ScaleFrame(0x83000000, {1, 2, 0, 2, 0, 0, 0x04, 0xD2, 0, 0, 0, 0, 0, 0, 0x04, 0xD2});
const Bytes PlainIs1 = Is1Frame('S', ' ', "  1.25", "kg", 0x30);
const Bytes ExtendedIs1 = ExtendedIs1Frame('S', ' ', " 0.500", "kg",
                                           {.Decimals = 0x22,
                                            .Price = 1234,
                                            .Total = 61725,
                                            .Key = 0xE5,
                                            .WeightAd = 300,
                                            .Check = 'X',
                                            .Flag = 0x20});
// A measurement whose header sum is wrong and whose data hold a weight frame:
// it fails its check and is dropped whole, weight frame included.
Bytes BadSumAroundWeight() {
  Bytes frame = ScaleFrame(0x83000000, Is1Frame('S', ' ', "  7.00", "kg", 0));
  frame[12] ^= 0x01;
  return frame;
}

struct TSegment {
  const char *What;
  Bytes Bytes_;
};

// Every kind of data the line carries, each once, with junk between.
const std::vector<TSegment> &MixedStream() {
  static const std::vector<TSegment> segments = {
      {"junk", {0x00, 0x55, '<', 'A', 0x06, 0x07, 0x02, 0x03}},
      {"plain IS1", PlainIs1},
      {"extended IS1", ExtendedIs1},
      {"measurement", Measurement},
      {"refusal", ScaleFrame(0x800D0004)},
      {"AD U8", AdU8Frame("V12", 0x0102, 0xFFFE)},
      {"bad header sum", BadSumAroundWeight()},
      {"short IS1", ShortIs1Frame('U', ' ', "  2.00", "lb")},
      {"AD U9", AdU9Frame(0x0010, 0xFFFF)},
      {"<ZK> measurement", TextFormFrame('Z', 0x83000000, {7, 7, 7, 7})},
      {"plain IS1 again", Is1Frame('S', '-', "  0.75", "kg", 0x31)},
      {"<TK> acknowledgement", TextFormFrame('T', 0x800E0000, {})},
      {"AD junk", {0x02, 0x02, 0x00, 'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0}},
      {"cut IS1 start", {0x01}},
  };
  return segments;
}

Bytes StreamBytes() {
  Bytes all;
  for (const TSegment &segment : MixedStream())
    all.insert(all.end(), segment.Bytes_.begin(), segment.Bytes_.end());
  return all;
}

// The one cut that no receiver can hide: an extended weight frame whose
// first 16 bytes end a chunk is a complete plain frame at that moment.
size_t ExtensionCut() {
  size_t at = 0;
  for (const TSegment &segment : MixedStream()) {
    if (std::string(segment.What) == "extended IS1")
      return at + 16;
    at += segment.Bytes_.size();
  }
  return 0;
}

// A link whose receive path is fed directly, as the serial component does.
class TReceiver : public TLinkHarness {
public:
  TReceiver() { link.Open(); }

  // Feeds bytes in chunks that end at the given cut positions.
  void FeedCut(const Bytes &bytes, const std::set<size_t> &cuts) {
    size_t from = 0;
    for (size_t cut : cuts) {
      Feed(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
      from = cut;
    }
    Feed(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end()));
  }
  // Everything the receive path produced: its events and the state it left.
  std::string Transcript() {
    std::string text = Describe(events);
    auto narrow = [](const std::u16string &s) { return std::string(s.begin(), s.end()); };
    text += " flags " + std::to_string(flags.FramedReplySeen) + std::to_string(flags.Is1FrameSeen);
    text += " nak " + std::to_string(link.NAKFlag()) + " terminate " + std::to_string(link.Terminate());
    text += " held " + std::to_string(link.offset());
    text += " ad " + std::to_string(link.blnReadFlag()) + " " + narrow(link.strVersion()) + " " +
            narrow(link.strOZeroAD()) + " " + narrow(link.strOFullAD()) + " " + narrow(link.strTareAD()) +
            " " + narrow(link.strZeroAD());
    text += " sales " + std::to_string(link.IS1().Number()) + " " + std::to_string(link.IS1().weightsum());
    return text;
  }
};

class ReceivePath : public ::testing::Test, public TReceiver {
protected:
  void SetUp() override { ASSERT_TRUE(link.Active()); }
};

TEST_F(ReceivePath, WholeStreamGivesEachFrameOnce) {
  Feed(StreamBytes());
  EXPECT_EQ(Describe(events),
            "IS1(S| |  1.25|kg,48) IS1(S| | 0.500|kg,32) Status[16] Error(4) IS1(U| |  2.00|lb,0) "
            "Status[4] IS1(S|-|  0.75|kg,49) ");
  EXPECT_EQ(Transcript(), Describe(events) +
                              " flags 10 nak 1 terminate 1 held 1 ad 1 V12 258 65534 16 -1 sales 1 "
                              "0.500000");
}

TEST_F(ReceivePath, ChunksCutAtAnyBoundaryGiveTheSameAsTheWholeStream) {
  const Bytes stream = StreamBytes();
  Feed(stream);
  const std::string whole = Transcript();

  auto transcriptOf = [&](const std::set<size_t> &cuts) {
    TReceiver other;
    other.FeedCut(stream, cuts);
    return other.Transcript();
  };
  for (size_t cut = 1; cut < stream.size(); ++cut) {
    if (cut == ExtensionCut())
      continue;
    EXPECT_EQ(transcriptOf({cut}), whole) << "cut at " << cut;
  }
  std::set<size_t> everyByte;
  for (size_t cut = 1; cut < stream.size(); ++cut)
    if (cut != ExtensionCut())
      everyByte.insert(cut);
  EXPECT_EQ(transcriptOf(everyByte), whole) << "one byte a chunk";

  std::mt19937 random(20240517);
  for (int round = 0; round < 200; ++round) {
    std::set<size_t> cuts;
    const size_t count = random() % 12;
    for (size_t i = 0; i < count; ++i) {
      const size_t cut = 1 + random() % (stream.size() - 1);
      if (cut != ExtensionCut())
        cuts.insert(cut);
    }
    EXPECT_EQ(transcriptOf(cuts), whole) << "round " << round;
  }
}

TEST_F(ReceivePath, ExtendedFrameCutAfterItsPlainPartIsTakenAsPlainFrame) {
  Feed(Bytes(ExtendedIs1.begin(), ExtendedIs1.begin() + 16));
  Feed(Bytes(ExtendedIs1.begin() + 16, ExtendedIs1.end()));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Text, u"S| | 0.500|kg");
  EXPECT_TRUE(link.IS1().Total().empty()); // the extension was never parsed
}

TEST_F(ReceivePath, StartByteInFrontOfAWeightFrameDropsEverythingHeld) {
  Feed(Join({PlainIs1, {0xAB}, PlainIs1, Is1Frame('S', ' ', "  3.00", "kg", 0)}));
  EXPECT_EQ(Describe(events), "IS1(S| |  1.25|kg,48) ");
  EXPECT_EQ(link.offset(), 0);
  // The next chunk is scanned afresh.
  Feed(PlainIs1);
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(ReceivePath, ProtocolFrameThatFailsItsCheckIsDroppedWhole) {
  Feed(BadSumAroundWeight());
  EXPECT_TRUE(events.empty()) << Describe(events);
  EXPECT_EQ(flags.FramedReplySeen, 1);
  EXPECT_EQ(flags.Is1FrameSeen, 0);
  EXPECT_EQ(link.offset(), 0);
  Feed(PlainIs1);
  EXPECT_EQ(Describe(events), "IS1(S| |  1.25|kg,48) ");
}

TEST_F(ReceivePath, HeaderOfAFrameTooLongForTheBufferIsDroppedAndTheFramesBehindItCome) {
  // A header whose length promises 4096 data bytes: no buffer holds that frame.
  const Bytes header = {0xAB, 0, 0, 0, 0, 0x83, 0, 0, 0, 0, 0x10, 0x00, 0x00};
  Feed(Join({header, PlainIs1}));
  EXPECT_EQ(Describe(events), "IS1(S| |  1.25|kg,48) ");
  EXPECT_EQ(link.offset(), 0);
}

// The serial component hands out full chunks of 4096 bytes while a scale
// streams without a pause: the frame cut by each chunk boundary is kept
// and completed by the next chunk.
TEST_F(ReceivePath, StreamInFullChunksLosesNoFrame) {
  Bytes stream;
  size_t frames = 0;
  while (stream.size() < 20 * 4096) {
    const Bytes &frame = frames % 3 == 2 ? Measurement : frames % 3 == 1 ? ExtendedIs1 : PlainIs1;
    stream.insert(stream.end(), frame.begin(), frame.end());
    ++frames;
  }
  line.Send(stream); // arrives in chunks of exactly 4096 bytes
  platform.PumpMessages();
  EXPECT_EQ(events.size(), frames);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const TLinkEvent &e) { return e.What == TLinkEvent::Status; }),
            static_cast<std::ptrdiff_t>(frames / 3));
}

TEST_F(ReceivePath, LongPartialFrameSurvivesAFullChunk) {
  // A measurement with 4000 data bytes, of which 3000 bytes have come; the
  // next chunk is a full one with the rest and two weight frames.
  const Bytes big = ScaleFrame(0x83000000, Bytes(4000, 0x11));
  Feed(Bytes(big.begin(), big.begin() + 3000));
  EXPECT_EQ(link.offset(), 3000);
  Bytes chunk(big.begin() + 3000, big.end());
  while (chunk.size() + PlainIs1.size() <= 4096)
    chunk.insert(chunk.end(), PlainIs1.begin(), PlainIs1.end());
  chunk.resize(4096, 0x00);
  Feed(chunk);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].What, TLinkEvent::Status);
  EXPECT_EQ(events[0].Data, Bytes(4000, 0x11));
  EXPECT_EQ(events.size(), 1 + (4096 - (big.size() - 3000)) / PlainIs1.size()) << Describe(events);
  EXPECT_EQ(link.offset(), 0);
}

// A weight handler that pumps on every frame, as a host that calls DoEvents
// from its callback does, while the scale fills every read: each frame's
// handler takes in another full chunk before the scans below have reached
// the frames of the ones before. Every frame comes, once, in line order.
TEST_F(ReceivePath, HandlersThatTakeAFullChunkOnEveryFrameLoseNothing) {
  constexpr int Chunks = 6;
  std::vector<Bytes> chunks;
  for (int c = 0; c < Chunks; ++c) {
    Bytes chunk;
    for (int f = 0; f < 256; ++f) {
      char weight[8];
      std::snprintf(weight, sizeof weight, "%6d", c * 256 + f);
      const Bytes frame = Is1Frame('S', ' ', weight, "kg", 0);
      chunk.insert(chunk.end(), frame.begin(), frame.end());
    }
    chunks.push_back(chunk);
  }
  std::vector<int> raised;
  size_t fed = 1;
  link.OnIS1Event = [&](THecrLink &, TIS1 &frame) {
    raised.push_back(std::stoi(std::string(frame.Weight().begin(), frame.Weight().end())));
    if (fed < chunks.size())
      Feed(chunks[fed++]);
  };
  Feed(chunks[0]);
  std::vector<int> inOrder(Chunks * 256);
  for (size_t i = 0; i < inOrder.size(); ++i)
    inOrder[i] = static_cast<int>(i);
  EXPECT_EQ(raised, inOrder);
  EXPECT_EQ(link.offset(), 0);
}

// Chunks that come while an event handler pumps are scanned at once, behind
// the frames that the running scan had not reached: every frame comes, in
// the order of the line.
TEST_F(ReceivePath, ChunksThatComeInsideAHandlerAreScannedAtOnceInOrder) {
  Bytes full;
  while (full.size() + PlainIs1.size() <= 4096)
    full.insert(full.end(), PlainIs1.begin(), PlainIs1.end());
  const Bytes other = Is1Frame('S', ' ', "  9.00", "kg", 0);
  Bytes last;
  while (last.size() + other.size() <= 4096)
    last.insert(last.end(), other.begin(), other.end());
  const Bytes first = Is1Frame('S', ' ', "  0.50", "kg", 0);
  bool fed = false;
  link.OnIS1Event = [&](THecrLink &, TIS1 &frame) {
    events.push_back({TLinkEvent::IS1, 0, {}, frame.Weight()});
    if (!fed) {
      fed = true;
      Feed(full);
      Feed(last);
    }
  };
  Feed(Join({first, PlainIs1}));
  ASSERT_EQ(events.size(), 2 + full.size() / PlainIs1.size() + last.size() / other.size());
  EXPECT_EQ(events[0].Text, u"  0.50");
  EXPECT_EQ(events[1].Text, u"  1.25");
  EXPECT_EQ(events[1 + full.size() / PlainIs1.size()].Text, u"  1.25");
  EXPECT_EQ(events[2 + full.size() / PlainIs1.size()].Text, u"  9.00");
  EXPECT_EQ(events.back().Text, u"  9.00");
  EXPECT_EQ(link.offset(), 0);
}

TEST_F(ReceivePath, MeasurementWithDataWhileACommandWaitsIsDropped) {
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &) { l.Send(Measurement, 5); });
  link.SetRetrycnt(1);
  EXPECT_FALSE(Send(5));
  EXPECT_EQ(Errors(), (std::vector<int32_t>{THecrLink::ErrRetrying, THecrLink::ErrRetriesExhausted}));
  EXPECT_EQ(flags.FramedReplySeen, 1);
}

TEST_F(ReceivePath, WeightFrameThatFailsStillCountsAsSeen) {
  Feed(PlainIs1);
  flags = {};
  Bytes bad = Is1Frame('S', ' ', "  9.99", "kg", 0);
  bad[12] ^= 0x01;
  Feed(bad);
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ(flags.Is1FrameSeen, 1);
  EXPECT_EQ(link.IS1().Weight(), u"  1.25");
}

// A host that pumps inside a callback gets the frames that arrive meanwhile
// at once, inside the callback.
TEST_F(ReceivePath, HandlerThatPumpsGetsTheNextFrameInsideIt) {
  std::vector<std::string> order;
  link.OnIS1Event = [&](THecrLink &, TIS1 &frame) {
    const std::string weight(frame.Weight().begin(), frame.Weight().end());
    order.push_back("begin" + weight);
    platform.PumpMessages();
    order.push_back("end" + weight);
  };
  line.Send(Is1Frame('S', ' ', "  1.00", "kg", 0));
  line.Send(Is1Frame('S', ' ', "  2.00", "kg", 0));
  platform.PumpMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"begin  1.00", "begin  2.00", "end  2.00", "end  1.00"}));
}

// A weight handler that tares when the weight is stable, as hosts do.
class HandlerCommand : public ReceivePath {
protected:
  static constexpr int32_t TareId = 5;
  // Each weight frame's handler sends Tare and records the frame and result.
  void TareInEachWeightHandler() {
    link.OnIS1Event = [this](THecrLink &, TIS1 &frame) {
      const std::string weight(frame.Weight().begin(), frame.Weight().end());
      const uint32_t started = platform.MonotonicMs();
      const bool tared = Send(TareId);
      took.push_back(ElapsedTicks(started, platform.MonotonicMs()));
      order.push_back(weight + (tared ? " tared" : " not tared"));
    };
  }
  std::vector<std::string> order;
  std::vector<uint32_t> took;
};

TEST_F(HandlerCommand, GetsItsAnswerDuringItsOwnWait) {
  AnswerWith(ScaleFrame(0x800E0000));
  TareInEachWeightHandler();
  line.Send(PlainIs1);
  platform.PumpMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"  1.25 tared"}));
  // Ended by the answer 5 ms after the write, not by the 5000 ms time-out.
  ASSERT_EQ(took.size(), 1u);
  EXPECT_LT(took[0], 100u);
  EXPECT_EQ(line.Writes().size(), 1u);
}

TEST_F(HandlerCommand, FramesBehindTheHandledOneAreNotLost) {
  AnswerWith(ScaleFrame(0x800E0000));
  TareInEachWeightHandler();
  line.Send(Join({PlainIs1, Is1Frame('S', ' ', "  2.00", "kg", 0)}));
  platform.PumpMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"  1.25 tared", "  2.00 tared"}));
  EXPECT_EQ(line.Writes().size(), 2u);
}

// What the scale sent before the command was written is no answer to it: a
// refusal behind the weight frame reaches the error event as one that came
// while nothing waited, after the handler's command got its own answer.
TEST_F(HandlerCommand, FrameThatCameBeforeTheCommandIsNotItsAnswer) {
  AnswerWith(ScaleFrame(0x800E0000));
  TareInEachWeightHandler();
  line.Send(Join({PlainIs1, ScaleFrame(0x800D0004)}));
  platform.PumpMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"  1.25 tared"}));
  EXPECT_EQ(Errors(), std::vector<int32_t>{4});
  EXPECT_TRUE(link.NAKFlag());
}

// An incomplete frame held when the handler's command is written can be no
// answer to it and is dropped; a complete one behind the handled frame is
// kept for the scan that reached it.
TEST_F(HandlerCommand, IncompleteFrameHeldAtTheWriteIsDropped) {
  AnswerWith(ScaleFrame(0x800E0000));
  TareInEachWeightHandler();
  const Bytes second = Is1Frame('S', ' ', "  2.00", "kg", 0);
  line.Send(Join({PlainIs1, second, Bytes(second.begin(), second.begin() + 10)}));
  platform.PumpMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"  1.25 tared", "  2.00 tared"}));
  EXPECT_EQ(link.offset(), 0);
}

TEST_F(HandlerCommand, CommandFromAHandlerInsideAnotherTransferFailsAtOnce) {
  // The weight frame comes while Tare waits; its handler's Tare is refused
  // without a write, and the outer Tare gets its answer.
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &) {
    l.Send(Join({PlainIs1, ScaleFrame(0x800E0000)}), 5);
  });
  TareInEachWeightHandler();
  EXPECT_TRUE(Send(TareId));
  EXPECT_EQ(order, (std::vector<std::string>{"  1.25 not tared"}));
  EXPECT_EQ(line.Writes().size(), 1u);
}

// One chunk holds weight frames 1 and 2; frame 1's handler tares, and the
// scale answers with frame 3 and the acknowledgement. Frame 3 is held back
// behind frame 2: the frames come in the order of the line, and the link's
// last weight is the newest.
TEST_F(HandlerCommand, FramesComeInLineOrderAndTheLastWeightIsTheNewest) {
  bool first = true;
  line.SetResponder([&first](TFakeSerialLine &l, const TWrittenBlock &) {
    l.Send(first ? Join({Is1Frame('S', ' ', "  3.00", "kg", 0), ScaleFrame(0x800E0000)})
                 : ScaleFrame(0x800E0000),
           5);
    first = false;
  });
  TareInEachWeightHandler();
  line.Send(Join({Is1Frame('S', ' ', "  1.00", "kg", 0), Is1Frame('S', ' ', "  2.00", "kg", 0)}));
  platform.PumpMessages();
  for (int i = 0; i < 10; ++i)
    platform.WaitAndPump(10);
  EXPECT_EQ(order, (std::vector<std::string>{"  1.00 tared", "  2.00 tared", "  3.00 tared"}));
  EXPECT_EQ(link.IS1().Weight(), u"  3.00");
}

// While a handler's command waits, a measurement and a refusal that follow
// its answer are neither its answer nor lost: they come, in order, once the
// handler has returned.
TEST_F(HandlerCommand, FramesBehindTheAnswerComeAfterTheHandler) {
  AnswerWith(Join({ScaleFrame(0x800E0000), Measurement, ScaleFrame(0x800D0009)}));
  std::vector<std::string> seen;
  link.OnStatus = [&](THecrLink &, TPelqoEventArgs &) { seen.push_back("status"); };
  link.OnError = [&](THecrLink &, int32_t code) { seen.push_back("error " + std::to_string(code)); };
  link.OnIS1Event = [&](THecrLink &, TIS1 &) { seen.push_back(Send(TareId) ? "tared" : "not tared"); };
  line.Send(PlainIs1);
  platform.PumpMessages();
  platform.WaitAndPump(20);
  EXPECT_EQ(seen, (std::vector<std::string>{"tared", "status", "error 9"}));
}

// A handler that pumps by itself nests the scans no deeper than the bound,
// however fast the frames come; every frame still comes, in line order.
TEST_F(ReceivePath, HandlersThatPumpNestToABoundedDepth) {
  constexpr int Frames = 60;
  for (int i = 0; i < Frames; ++i) {
    char weight[8];
    std::snprintf(weight, sizeof weight, "%6d", i);
    line.Send(Is1Frame('S', ' ', weight, "kg", 0), static_cast<uint32_t>(2 * i));
  }
  std::vector<int> raised;
  size_t depth = 0;
  size_t deepest = 0;
  link.OnIS1Event = [&](THecrLink &, TIS1 &frame) {
    raised.push_back(std::stoi(std::string(frame.Weight().begin(), frame.Weight().end())));
    deepest = std::max(deepest, ++depth);
    platform.WaitAndPump(5);
    --depth;
  };
  for (int i = 0; i < 100 && raised.size() < Frames; ++i)
    platform.WaitAndPump(10);
  EXPECT_LE(deepest, THecrLink::MaxScanDepth);
  std::vector<int> inOrder(Frames);
  for (int i = 0; i < Frames; ++i)
    inOrder[static_cast<size_t>(i)] = i;
  EXPECT_EQ(raised, inOrder);
  EXPECT_EQ(link.IS1().Weight(), u"    59");
}

TEST_F(ReceivePath, ClosedLinkTakesNoChunks) {
  link.Close();
  Feed(PlainIs1);
  EXPECT_TRUE(events.empty());
}

} // namespace
} // namespace pondrex::test
