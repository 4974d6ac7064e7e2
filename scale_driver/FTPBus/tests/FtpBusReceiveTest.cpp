// What the price bus makes of the bytes the scale sends during its waits:
// weight reports to the host window, text frames, reassembly of 'Z' frames.
#include "FtpBusFixture.h"

#include <random>
#include <string>

namespace pondrex::test {
namespace {

class FtpBusReceive : public FtpBusFixture {
protected:
  FtpBusReceive() { bus.SetRetryCount(0); }

  // One acknowledgement wait of a download during which the scale sends
  // each chunk on its own, 20 ms apart, and nothing else.
  bool WaitWhileScaleSends(const std::vector<Bytes> &chunks) {
    line.SetResponder([chunks](TFakeSerialLine &l, const TWrittenBlock &) {
      uint32_t delay = 10;
      for (const Bytes &chunk : chunks) {
        l.Send(chunk, delay);
        delay += 20;
      }
    });
    return bus.DownloadData(0x44, 0, 0, 0);
  }
};

TEST_F(FtpBusReceive, WeightFramesDuringAWaitReachTheHostWindow) {
  struct TCase {
    const char *Name;
    std::vector<Bytes> Chunks;
    std::vector<std::u16string> Reports;
  };
  const std::vector<TCase> cases = {
      {"short form", {{0x53, 0x05, 0x04, 0xD2}}, {u"1:5:1234:KG:0"}},
      {"short form negative", {{0x70, 0x05, 0x04, 0xD2}}, {u"0:5:-1234:KG:0"}},
      {"group, unit 0", {{0x53, 0x03, 0x30, 0x39, 0x00}}, {u"1:3:12.345:N:KG:0"}},
      {"group, unit 1", {{0x53, 0x03, 0x30, 0x39, 0x01}}, {u"1:3:123.45:500G:JIN:0"}},
      {"group, unit 3", {{0x53, 0x03, 0x30, 0x39, 0x03}}, {u"1:3:12345:G:G:0"}},
      {"value byte 200", {{0x53, 0xC8, 0x04, 0xD2}}, {u"1:-1:1234:KG:0"}},
      {"'Z' frame in two parts",
       {{0x5A, 0x07, 0x00, 0x00, 0x64, 0x53}, {0x05, 0x04, 0xD2, 0x00}},
       {u"0:7:100::0", u"1:5:1.234:N:KG:0"}},
      {"'Z' frame in three parts",
       {{0x5A, 0x07, 0x00}, {0x00, 0x64, 0x53, 0x05}, {0x04, 0xD2, 0x00}},
       {u"0:7:100::0", u"1:5:1.234:N:KG:0"}},
      {"10 bytes without 'Z'",
       {{0x53, 0x01, 0x00, 0x01, 0x00, 0x53, 0x05, 0x04, 0xD2, 0x00}},
       {u"1:5:1.234:N:KG:0"}},
      {"lengths that report nothing", {{0x53, 0x05, 0x04}, {0x53, 0x05, 0x04, 0xD2, 0x00, 0x00}}, {}},
      // Parts of a 'Z' frame that overrun its 10 bytes are dropped; the
      // frames after them are reported again.
      {"'Z' parts overrunning 10 bytes",
       {{0x5A, 0x07, 0x00, 0x00, 0x64, 0x53}, {0x05, 0x04, 0xD2, 0x00, 0x11, 0x22}, {0x53, 0x05, 0x04, 0xD2}},
       {u"1:5:1234:KG:0"}},
      {"a new 'Z' frame after an overrun",
       {{0x5A, 0x07, 0x00, 0x00, 0x64, 0x53}, {0x5A, 0x08, 0x00, 0x00, 0x65, 0x53, 0x05}, {0x04, 0xD2, 0x00}},
       {u"0:8:101::0", u"1:5:1.234:N:KG:0"}},
  };
  for (const TCase &c : cases) {
    const size_t before = platform.WindowTexts().size();
    EXPECT_FALSE(WaitWhileScaleSends(c.Chunks)) << c.Name;
    const std::vector<std::u16string> all = Reports();
    EXPECT_EQ(std::vector<std::u16string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
              c.Reports)
        << c.Name;
  }
}

TEST_F(FtpBusReceive, OnShowWeightTakesTheReportInsteadOfTheWindow) {
  struct TShown {
    int32_t Stable, Value;
    double Weight;
    std::u16string Unit, Flag;
  };
  std::vector<TShown> shown;
  bus.OnShowWeight = [&shown](int32_t stable, int32_t value, double weight, const std::u16string &unit,
                              const std::u16string &flag) {
    shown.push_back({stable, value, weight, unit, flag});
  };
  WaitWhileScaleSends({{0x73, 0x03, 0x30, 0x39, 0x00}});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Stable, 1);
  EXPECT_EQ(shown[0].Value, 3);
  EXPECT_DOUBLE_EQ(shown[0].Weight, -12.345);
  EXPECT_EQ(shown[0].Unit, u"N:KG");
  EXPECT_EQ(shown[0].Flag, u"0");
  EXPECT_TRUE(platform.WindowTexts().empty());
}

TEST_F(FtpBusReceive, NoWindowNoMessage) {
  bus.hRecv = 0;
  WaitWhileScaleSends({{0x53, 0x05, 0x04, 0xD2}});
  EXPECT_TRUE(platform.WindowTexts().empty());
}

TEST_F(FtpBusReceive, UploadWaitsDecodeNoWeightFrames) {
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &) { l.Send({0x53, 0x05, 0x04, 0xD2}, 10); });
  EXPECT_FALSE(bus.UploadData(0x55, 0xF9, 0x00E0, 4));
  EXPECT_TRUE(platform.WindowTexts().empty());
}

TEST_F(FtpBusReceive, CompleteTextFrameAcknowledgesAndEmptiesTheCollectedBytes) {
  const Bytes frame = {0x01, 0x02, '1',  '2',  'c', 0x03, 0x02, 's',  '4',
                       '5',  'c',  0x03, 0x02, '7', '8',  'c',  0x03, 0x04};
  bus.getAll = true;
  EXPECT_TRUE(WaitWhileScaleSends({frame}));
  EXPECT_EQ(bus.Offset(), 0);
  EXPECT_EQ(Bytes(bus.MessageData().begin(), bus.MessageData().begin() + frame.size()), frame);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(bus.Rectxt().data())), "12;45;78");

  // In two chunks, it acknowledges when its end arrives.
  bus.getAll = false;
  bus.GetWeight = true;
  EXPECT_TRUE(
      WaitWhileScaleSends({Bytes(frame.begin(), frame.begin() + 7), Bytes(frame.begin() + 7, frame.end())}));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(bus.Rectxt().data())), "45");
  EXPECT_EQ(bus.Offset(), 0);
}

TEST_F(FtpBusReceive, LongTextFieldsStayInsideTheTextBuffer) {
  Bytes frame = {0x01, 0x02};
  for (int field = 0; field < 3; ++field) {
    frame.insert(frame.end(), 17, static_cast<uint8_t>('a' + field));
    frame.insert(frame.end(), {'c', 0x03, static_cast<uint8_t>(field == 2 ? 0x04 : 0x02)});
    if (field == 0)
      frame.push_back('s');
  }
  ASSERT_LE(frame.size(), 64u);
  bus.getAll = true;
  EXPECT_TRUE(WaitWhileScaleSends({frame}));
  const std::string text(reinterpret_cast<const char *>(bus.Rectxt().data()));
  EXPECT_EQ(text, std::string(17, 'a') + ";" + std::string(11, 'b'));
}

TEST_F(FtpBusReceive, BytesBeyondSixtyFourAreNotKept) {
  EXPECT_FALSE(WaitWhileScaleSends({Bytes(60, 0x41), Bytes(60, 0x41), {0x06}}));
  EXPECT_EQ(bus.Offset(), 64);
}

TEST_F(FtpBusReceive, HostileChunksNeitherCrashNorStopLaterReports) {
  // Random chunks rich in the bytes that mean something on the bus, in
  // download and upload waits, with a fixed seed; the sanitizers watch.
  std::mt19937 random(20240611);
  const Bytes special = {0x01, 0x02, 0x03, 0x04, 0x06, 0x15, 0xAA, 'Z', 'S', 'p'};
  auto chunk = [&random, &special] {
    Bytes bytes(1 + random() % 80);
    for (uint8_t &b : bytes)
      b = random() % 2 ? special[random() % special.size()] : static_cast<uint8_t>(random());
    return bytes;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<Bytes> chunks(1 + random() % 6);
    for (Bytes &c : chunks)
      c = chunk();
    line.SetResponder([chunks](TFakeSerialLine &l, const TWrittenBlock &) {
      uint32_t delay = 5;
      for (const Bytes &c : chunks) {
        l.Send(c, delay);
        delay += 30;
      }
    });
    if (round % 2)
      bus.DownloadData(0x44, 0, 0, 0);
    else
      bus.UploadData(0x55, 0xF9, 0x00E0, static_cast<uint8_t>(random() % 60));
    platform.Sleep(1000);
    platform.PumpMessages();
  }
  const size_t before = platform.WindowTexts().size();
  WaitWhileScaleSends({{0x53, 0x01, 0x00, 0x01, 0x00, 0x53, 0x05, 0x04, 0xD2, 0x00}});
  ASSERT_EQ(platform.WindowTexts().size(), before + 1);
  EXPECT_EQ(platform.WindowTexts().back().Text, u"1:5:1.234:N:KG:0");
}

} // namespace
} // namespace pondrex::test
