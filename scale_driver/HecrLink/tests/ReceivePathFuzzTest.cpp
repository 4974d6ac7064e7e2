// Random and hostile input for the receive path, with a fixed seed: nothing
// may crash or read outside the buffer (the sanitizers watch), and once good
// frames follow, the path finds them again within one frame's worth. And a
// scale that streams numbered weight frames in random chunks while the
// handlers tare: the frames come in the order of the line, never twice, the
// handlers never nest, and the last weight is the newest.
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace pondrex::test {
namespace {

const Bytes GoodFrame = Is1Frame('S', ' ', "  1.25", "kg", 0x30);
const std::u16string GoodText = u"S| |  1.25|kg";

class Hostile {
public:
  explicit Hostile(uint32_t seed) : random_(seed) {}

  size_t Below(size_t n) { return n == 0 ? 0 : random_() % n; }
  uint8_t Byte() { return static_cast<uint8_t>(random_()); }

  // Junk, frames of every kind, and frames broken in the ways a noisy line
  // or a hostile peer breaks them.
  Bytes Input() {
    Bytes input;
    const size_t pieces = 1 + Below(12);
    for (size_t i = 0; i < pieces; ++i) {
      Bytes piece = Piece();
      input.insert(input.end(), piece.begin(), piece.end());
    }
    return input;
  }

private:
  Bytes Junk(size_t max) {
    Bytes junk(Below(max));
    for (uint8_t &b : junk)
      b = Byte();
    return junk;
  }
  Bytes Frame() {
    switch (Below(9)) {
    case 0:
      return Is1Frame('S', ' ', "  0.10", "kg", Byte());
    case 1:
      return ExtendedIs1Frame('S', '-', " 0.500", "kg",
                              {.Decimals = Byte(), .Total = Byte(), .Key = Byte(), .Flag = Byte()});
    case 2:
      return ShortIs1Frame('U', ' ', "  2.00", "lb");
    case 3:
      return AdU8Frame("V12", static_cast<uint16_t>(random_()), static_cast<uint16_t>(random_()));
    case 4:
      return AdU9Frame(static_cast<uint16_t>(random_()), static_cast<uint16_t>(random_()));
    case 5:
      return ScaleFrame(0x83000000, Junk(40));
    case 6:
      return ScaleFrame(0x800D0000 | Byte());
    case 7: {
      // A good header that promises more data than ever comes.
      Bytes frame = ScaleFrame(0x91160000, Junk(3000));
      frame.resize(13 + Below(frame.size() - 13));
      return frame;
    }
    default:
      return ScaleFrame(static_cast<uint32_t>(random_()), Junk(20));
    }
  }
  Bytes Piece() {
    switch (Below(4)) {
    case 0:
      return Junk(600);
    case 1: {
      Bytes frame = Frame();
      for (size_t flips = Below(4); flips > 0; --flips)
        frame[Below(frame.size())] = Byte();
      return frame;
    }
    case 2: {
      Bytes frame = Frame();
      frame.resize(Below(frame.size()));
      return frame;
    }
    default: {
      static const std::vector<Bytes> starts = {{0x01}, {0x01, 0x02}, {0x02}, {0x02, 0x02},      {0x06, 0x01},
                                                {'<'},  {'<', 'Z'},   {0xAB}, {0xFE, 0x01, 0x02}};
      return starts[Below(starts.size())];
    }
    }
  }

  std::mt19937 random_;
};

TEST(ReceivePathFuzz, HostileInputNeverBreaksTheScanAndGoodFramesAreFoundAgain) {
  Hostile hostile(0x5CA1E);
  for (int input = 0; input < 400; ++input) {
    TLinkHarness receiver;
    receiver.link.Open();
    const Bytes bytes = hostile.Input();
    for (size_t from = 0; from < bytes.size();) {
      // Now and then a chunk larger than the receive buffer.
      const size_t size = hostile.Below(20) == 0 ? 5000 : 1 + hostile.Below(300);
      const size_t count = std::min(size, bytes.size() - from);
      receiver.Feed(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                          bytes.begin() + static_cast<std::ptrdiff_t>(from + count)));
      from += count;
      // Between chunks at most one incomplete frame is held.
      ASSERT_LT(receiver.link.offset(), static_cast<int32_t>(THecrLink::MaxFrameSize));
    }

    auto goodEvents = [&receiver] {
      return std::count_if(receiver.events.begin(), receiver.events.end(), [](const TLinkEvent &event) {
        return event.What == TLinkEvent::IS1 && event.Text == GoodText;
      });
    };
    const auto before = goodEvents();
    // Whatever the input left held is less than one frame of the longest
    // kind, and a frame that was cut by it is lost too.
    const size_t bound = THecrLink::MaxFrameSize / GoodFrame.size() + 3;
    size_t fed = 0;
    while (goodEvents() == before && fed <= bound) {
      receiver.Feed(GoodFrame);
      ++fed;
    }
    ASSERT_LE(fed, bound) << "input " << input;
    for (int i = 1; i <= 5; ++i) {
      receiver.Feed(GoodFrame);
      ASSERT_EQ(goodEvents(), before + 1 + i) << "input " << input;
    }
  }
}

// The scale of the second test: it puts bytes on the line in the order they
// are made, each piece at a random moment after the one before.
class StreamingScale {
public:
  StreamingScale(TLinkHarness &harness, std::mt19937 &random) : harness_(harness), random_(random) {}

  Bytes NextWeight() {
    char text[8];
    std::snprintf(text, sizeof text, "%6d", next_++);
    return Is1Frame('S', ' ', text, "kg", 0);
  }
  // Sends bytes in one to three pieces, cut anywhere.
  void Send(const Bytes &bytes) {
    size_t from = 0;
    while (from < bytes.size()) {
      const size_t count = random_() % 3 == 0 ? bytes.size() - from : 1 + random_() % (bytes.size() - from);
      const uint32_t now = harness_.platform.MonotonicMs();
      dueMs_ = std::max(dueMs_ + 1, now + static_cast<uint32_t>(random_() % 15));
      harness_.line.Send(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                               bytes.begin() + static_cast<std::ptrdiff_t>(from + count)),
                         dueMs_ - now);
      from += count;
    }
  }
  // An answer to a written frame: some weight frames, then an
  // acknowledgement, a refusal or nothing.
  void Answer() {
    Bytes answer;
    for (uint32_t i = random_() % 3; i > 0; --i)
      answer = Join({answer, NextWeight()});
    switch (random_() % 3) {
    case 0:
      answer = Join({answer, ScaleFrame(0x800E0000)});
      break;
    case 1:
      answer = Join({answer, ScaleFrame(0x800D0000 | (random_() % 256))});
      break;
    default:
      break;
    }
    if (!answer.empty())
      Send(answer);
  }

private:
  TLinkHarness &harness_;
  std::mt19937 &random_;
  int next_ = 0;
  uint32_t dueMs_ = 0;
};

TEST(ReceivePathFuzz, HandlersThatTareGetTheFramesInLineOrderWithoutNesting) {
  std::mt19937 random(0x7A4E);
  for (int run = 0; run < 150; ++run) {
    TLinkHarness receiver;
    receiver.link.SetTimeOut(40);
    receiver.link.SetRetrycnt(2);
    receiver.OpenSerial();
    StreamingScale scale(receiver, random);
    receiver.line.SetResponder([&scale](TFakeSerialLine &, const TWrittenBlock &) { scale.Answer(); });
    std::vector<int> raised;
    int depth = 0;
    int deepest = 0;
    receiver.link.OnIS1Event = [&](THecrLink &, TIS1 &frame) {
      raised.push_back(std::stoi(std::string(frame.Weight().begin(), frame.Weight().end())));
      deepest = std::max(deepest, ++depth);
      if (random() % 2 == 0)
        receiver.Send(5);
      --depth;
    };
    const int streamed = 1 + static_cast<int>(random() % 8);
    Bytes stream;
    for (int i = 0; i < streamed; ++i)
      stream = Join({stream, scale.NextWeight()});
    scale.Send(stream);
    for (int i = 0; i < 200; ++i)
      receiver.platform.WaitAndPump(10);
    ASSERT_FALSE(raised.empty()) << "run " << run;
    EXPECT_EQ(deepest, 1) << "run " << run;
    EXPECT_TRUE(std::adjacent_find(raised.begin(), raised.end(), std::greater_equal<>()) == raised.end())
        << "run " << run;
    EXPECT_EQ(
        std::stoi(std::string(receiver.link.IS1().Weight().begin(), receiver.link.IS1().Weight().end())),
        raised.back())
        << "run " << run;
  }
}

} // namespace
} // namespace pondrex::test
