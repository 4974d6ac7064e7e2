// One command over UDP against the fake datagram peer: one send more than
// over a serial port, frame errors reported, incomplete answers completed by
// the next datagram.
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pondrex::test {
namespace {

constexpr int32_t TareId = 5;
constexpr int32_t OpBoxStateId = 23;
const Bytes Ack = ScaleFrame(0x800E0000);

class LinkUdp : public LinkFixture {
protected:
  void SetUp() override {
    link.SetMode(TCommunicationMode::cmUDP);
    link.SetHost(u"127.0.0.1");
    link.Open();
    ASSERT_TRUE(link.Active());
  }
  // The peer answers the n-th datagram (from 0) with answers[n], if any.
  void Answer(std::vector<Bytes> answers) {
    platform.Udp().SetResponder(
        [answers = std::move(answers), n = size_t{0}](TFakeUdpPeer &peer, const TDatagram &) mutable {
          if (n < answers.size())
            peer.Send(answers[n], 5);
          ++n;
        });
  }
  std::vector<Bytes> SentBytes() {
    std::vector<Bytes> sent;
    for (const TDatagram &datagram : platform.Udp().Sent())
      sent.push_back(datagram.Bytes);
    return sent;
  }
};

TEST_F(LinkUdp, SilentPeerGetsTheFrameRetrycntPlusOneTimes) {
  for (int32_t retries : {0, 5}) {
    SCOPED_TRACE(retries);
    events.clear();
    const size_t before = platform.Udp().Sent().size();
    link.SetRetrycnt(retries);
    EXPECT_FALSE(Send(TareId));
    std::vector<Bytes> sent = SentBytes();
    sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(sent, std::vector<Bytes>(static_cast<size_t>(retries) + 1, ScaleFrame(0x80040000)));
    std::vector<int32_t> expected(static_cast<size_t>(retries) + 1, THecrLink::ErrRetrying);
    expected.push_back(THecrLink::ErrRetriesExhausted);
    EXPECT_EQ(Errors(), expected);
  }
  // The retry line names the configured count, not the attempt.
  EXPECT_EQ(CountLog("Retry:5"), 6u);
  const TDatagram &first = platform.Udp().Sent().front();
  EXPECT_EQ(first.Host, u"127.0.0.1");
  EXPECT_EQ(first.Port, 5002);
}

TEST_F(LinkUdp, AcknowledgementSucceedsAndTheAnswerIsLogged) {
  Answer({Ack});
  EXPECT_TRUE(Send(TareId));
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(platform.Udp().Sent().size(), 1u);
  EXPECT_EQ(CountLog("Receive:ab 00 01 e2 40 80 0e 00 00 00 00 00 5c offset:0 cmd :800E0000"), 1u)
      << ::testing::PrintToString(LogLines());
}

TEST_F(LinkUdp, FrameErrorIsRaisedBeforeTheRetry) {
  Bytes corrupt = ScaleFrame(0x800E0000, {1, 2});
  corrupt.back() ^= 0xFF;
  Answer({corrupt, Ack});
  EXPECT_TRUE(Send(TareId));
  EXPECT_EQ(Errors(), (std::vector<int32_t>{THecrprotocolCheck::ErrCrc, THecrLink::ErrRetrying}));
  EXPECT_EQ(platform.Udp().Sent().size(), 2u);
}

TEST_F(LinkUdp, IncompleteAnswerWaitsForTheNextDatagram) {
  const Bytes answer = ScaleFrame(0x91160000, {4, 5, 6});
  Answer({Bytes(answer.begin(), answer.begin() + 7), Bytes(answer.begin() + 7, answer.end())});
  EXPECT_TRUE(Send(OpBoxStateId));
  EXPECT_EQ(Errors(), (std::vector<int32_t>{THecrprotocolCheck::ErrTooShort, THecrLink::ErrRetrying}));
  ASSERT_EQ(events.back().What, TLinkEvent::Status);
  EXPECT_EQ(events.back().Data, (Bytes{4, 5, 6}));
}

// 64 KB of measurement frames in front of the answer, in datagrams that end
// inside a frame: each datagram is checked on from where the last check
// stopped, and its log line holds only the bytes from there, yet every line
// and error is what a check of the whole stream from its start gives.
TEST_F(LinkUdp, LongStreamInDatagramsIsCheckedOnWhereTheLastCheckStopped) {
  const Bytes measurement = ScaleFrame(0x83000000, Bytes(16, 0x22));
  Bytes stream;
  while (stream.size() + measurement.size() + Ack.size() <= 0xFFFF)
    stream.insert(stream.end(), measurement.begin(), measurement.end());
  stream.insert(stream.end(), Ack.begin(), Ack.end());
  std::vector<Bytes> datagrams;
  for (size_t at = 0; at < stream.size(); at += 4000)
    datagrams.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                           stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), at + 4000)));
  Answer(datagrams);
  link.SetRetrycnt(static_cast<int32_t>(datagrams.size()));

  EXPECT_TRUE(Send(TareId));

  // What a check of everything received so far, from the start, gives.
  THecrprotocolCheck whole;
  whole.SetFChkcrc(true);
  whole.SetFChksum(true);
  whole.SethCmd(Cmd(TareId));
  std::vector<std::string> expectedLines;
  std::vector<int32_t> expectedErrors;
  for (size_t n = 1; n <= datagrams.size(); ++n) {
    const Bytes received(stream.begin(),
                         stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), n * 4000)));
    std::vector<uint8_t> buffer;
    int32_t offset = 0;
    const bool passed = whole.CheckData(received, buffer, offset);
    expectedLines.push_back(whole.Logstring());
    if (!passed)
      expectedErrors.insert(expectedErrors.end(), {whole.ErrorID(), THecrLink::ErrRetrying});
  }
  // Every datagram but the last ended inside a frame.
  ASSERT_EQ(expectedErrors.size(), 2 * (datagrams.size() - 1));
  std::vector<std::string> lines;
  for (const std::string &line : LogLines())
    if (line.starts_with("Receive:"))
      lines.push_back(line);
  EXPECT_EQ(lines, expectedLines);
  EXPECT_EQ(Errors(), expectedErrors);
  EXPECT_EQ(platform.Udp().Sent().size(), datagrams.size());
  for (const std::string &line : lines)
    EXPECT_LT(line.size(), 3 * measurement.size() + 80) << line.substr(0, 80);
}

TEST_F(LinkUdp, TransportFailureStopsTheTransferAtOnce) {
  platform.Udp().FailSend("network is unreachable");
  EXPECT_FALSE(Send(TareId));
  EXPECT_EQ(Errors(), std::vector<int32_t>{THecrLink::ErrSendFailed});
  EXPECT_EQ(CountLog("network is unreachable"), 1u);
}

TEST_F(LinkUdp, HostAndPortTakeEffectAtOpen) {
  link.SetHost(u"127.0.0.1");
  link.SetPort(6001);
  link.Open();
  Answer({Ack});
  EXPECT_TRUE(Send(TareId));
  EXPECT_EQ(platform.Udp().Sent().back().Port, 6001);
}

} // namespace
} // namespace pondrex::test
