// The echo of the two handshake parts, as the open export waits for it.
#include "LinkTestSupport.h"
#include "TPelqoEchoDetector.h"

#include <gtest/gtest.h>

namespace pondrex::test {
namespace {

const Bytes Clear = {'P', 'E', 'L', 'Q', 'O'};
const Bytes Encrypt = {0x03, 0x05, 0x01, 0x04, 0x0C, 0x04, 0x03, 0x04, 0x01, 0x04};

TEST(PelqoEchoDetector, FindsThePartWhereverItStands) {
  struct Case {
    const char *name;
    std::span<const uint8_t> part;
    std::vector<Bytes> chunks;
    std::vector<bool> completed;
  };
  const std::vector<Case> cases = {
      {"whole", PelqoClearPart, {Clear}, {true}},
      {"split", PelqoClearPart, {{'x', 'P', 'E'}, {'L'}, {'Q', 'O', 'x'}}, {false, false, true}},
      {"repeated first byte", PelqoClearPart, {{'P', 'P', 'E', 'L', 'Q', 'O'}}, {true}},
      {"broken", PelqoClearPart, {{'P', 'E', 'L', 'O', 'Q'}}, {false}},
      {"second part", PelqoEncryptPart, {Encrypt}, {true}},
      // 03 05 01 04 0C 04 03 breaks at the next 05, and its last 03 with that
      // 05 begins the echo anew.
      {"second part restarted",
       PelqoEncryptPart,
       {Join({Bytes(Encrypt.begin(), Encrypt.begin() + 7), Bytes(Encrypt.begin() + 1, Encrypt.end())})},
       {true}},
  };
  for (const Case &c : cases) {
    TPelqoEchoDetector detector(c.part);
    std::vector<bool> completed;
    for (const Bytes &chunk : c.chunks)
      completed.push_back(detector.Feed(chunk));
    EXPECT_EQ(completed, c.completed) << c.name;
  }
}

TEST(PelqoEchoDetector, PatternHoldsBothParts) {
  EXPECT_EQ(Bytes(PelqoClearPart.begin(), PelqoClearPart.end()), Clear);
  EXPECT_EQ(Bytes(PelqoEncryptPart.begin(), PelqoEncryptPart.end()), Encrypt);
}

class LinkEcho : public LinkFixture {
protected:
  void SetUp() override { OpenSerial(); }
};

TEST_F(LinkEcho, ArmedPartIsSeenOnceItsEchoArrives) {
  line.Send(Clear); // before arming: not an echo of anything written
  platform.PumpMessages();
  link.ArmClearPelqo();
  EXPECT_FALSE(link.ClearPelqoSeen());
  link.write("PELQO", 5);
  line.Send({'P', 'E'});
  line.Send({'L', 'Q', 'O'}, 1);
  platform.PumpMessages();
  EXPECT_FALSE(link.ClearPelqoSeen());
  platform.Sleep(2);
  platform.PumpMessages();
  EXPECT_TRUE(link.ClearPelqoSeen());
  EXPECT_FALSE(link.ClearPelqoFlag());
  EXPECT_FALSE(link.EncryptPelqoSeen());

  link.ArmEncryptPelqo();
  line.Send(Encrypt);
  platform.PumpMessages();
  EXPECT_TRUE(link.EncryptPelqoSeen());

  link.ArmClearPelqo(); // a new handshake forgets the last echo
  EXPECT_FALSE(link.ClearPelqoSeen());
}

} // namespace
} // namespace pondrex::test
