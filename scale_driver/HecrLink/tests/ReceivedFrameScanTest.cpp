// How the receive path decides, at the front of the bytes received so far,
// between a frame, an incomplete frame that waits, and a byte to skip.
#include "ReceivedFrameScan.h"
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

namespace pondrex::test {
namespace {

struct ScanCase {
  const char *name;
  Bytes rest;
  TReceivedKind kind;
  size_t length;
};

Bytes Prefix(const Bytes &bytes, size_t count) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

TEST(ReceivedFrameScan, DecidesAtTheFrontOfTheData) {
  const Bytes ack = ScaleFrame(0x800E0000);
  const Bytes read = ScaleFrame(0x91160000, {1, 2, 3});
  Bytes badSum = ack;
  badSum[12] ^= 1;
  Bytes tooLong = ScaleFrame(0x83000000, Bytes(4082, 0));
  const Bytes is1 = Is1Frame('S', ' ', "  1.25", "kg", 0);
  using K = TReceivedKind;
  const std::vector<ScanCase> cases = {
      {"start of IS1 cut", {0x01}, K::Wait, 0},
      {"start of AD cut", {0x02}, K::Wait, 0},
      {"start of short IS1 cut", {0x06, 0x01}, K::Wait, 0},
      {"start of <ZK> cut", {'<', 'Z', 'K'}, K::Wait, 0},
      {"start of <TK> cut", {'<', 'T'}, K::Wait, 0},
      {"not a text form", {'<', 'Z', 'X'}, K::Skip, 1},
      {"not an IS1 start", {0x01, 0x03}, K::Skip, 1},
      {"IS1", is1, K::Is1, 16},
      {"IS1 incomplete", Prefix(is1, 15), K::Wait, 0},
      {"extension announced", Join({is1, {0x12}}), K::Wait, 0},
      {"header incomplete", Prefix(ack, 12), K::Wait, 0},
      {"acknowledgement", ack, K::ProtocolFrame, 13},
      {"data incomplete", Prefix(read, 17), K::Wait, 0},
      {"read answer", read, K::ProtocolFrame, 18},
      // The frame's own check judges its header sum; it is taken whole.
      {"header sum wrong", badSum, K::ProtocolFrame, 13},
      {"longer than the buffer", Prefix(tooLong, 13), K::OversizedFrame, 13},
      {"start byte before IS1", {0xAA, 0x01, 0x02}, K::DropAll, 0},
      {"start byte before a cut IS1 start", {0xAB, 0x01}, K::Wait, 0},
      {"AD incomplete", {0x02, 0x02, 0x00, 'U', '8'}, K::Wait, 0},
      {"AD U9", AdU9Frame(1, 2), K::AdU9, 13},
      {"AD U8 incomplete", Prefix(AdU8Frame("V10", 1, 2), 13), K::Wait, 0},
      {"AD U8", AdU8Frame("V10", 1, 2), K::AdU8, 16},
      {"AD of no kind", {0x02, 0x02, 0, 'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0}, K::Skip, 1},
      {"short IS1", ShortIs1Frame('S', ' ', "  1.25", "kg"), K::ShortIs1, 16},
      {"junk", {0x00, 0x01, 0x02}, K::Skip, 1},
  };
  for (const ScanCase &c : cases) {
    const TReceivedFrame found = ScanReceivedFrame(c.rest, 4096);
    EXPECT_EQ(found.Kind, c.kind) << c.name;
    EXPECT_EQ(found.Length, c.length) << c.name;
  }
}

} // namespace
} // namespace pondrex::test
