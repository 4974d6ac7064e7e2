// The OP box temperature-compensation table: written from a file in blocks
// of 32 bytes, read in four packets of which only the complete table is
// decoded.
#include "ScaleCommandFixture.h"
#include "ScaleReads.h"
#include "TemperatureTableWrite.h"

#include <filesystem>
#include <fstream>

namespace pondrex::test {
namespace {

using namespace pondrex::api;

using Sends = std::vector<TSentFrame>;
using Texts = std::vector<std::string>;

Bytes Counting(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>(i + 1);
  return bytes;
}

Bytes Slice(const Bytes &bytes, size_t from, size_t count) {
  Bytes slice(bytes.begin() + static_cast<std::ptrdiff_t>(from),
              bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), from + count)));
  slice.resize(count, 0);
  return slice;
}

class TemperatureTable : public ScaleCommandFixture {
protected:
  ~TemperatureTable() override {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  int32_t WriteFile(const Bytes &content) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(content.data()), static_cast<std::streamsize>(content.size()));
    ClearSent();
    return WriteTemperatureTableFile(sensor, path.u16string().c_str(), EcrId);
  }

  std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("temperature-table-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin");
};

TEST_F(TemperatureTable, FileGoesOutInNumberedBlocksOf32Bytes) {
  On(0x92000000, Ack());
  const Bytes table = Counting(72);
  EXPECT_EQ(WriteFile(table), -1);
  // The last block is filled up with zero bytes.
  EXPECT_EQ(Sent(), (Sends{{0x92000000, 0, Slice(table, 0, 32)},
                           {0x92000100, 1, Slice(table, 32, 32)},
                           {0x92000200, 2, Slice(table, 64, 32)}}));

  EXPECT_EQ(WriteFile({}), -1);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(TemperatureTable, BlockNumberInTheCodeWrapsAt256) {
  On(0x92000000, Ack());
  EXPECT_EQ(WriteFile(Bytes(258 * 32, 0x11)), -1);
  const Sends sent = Sent();
  ASSERT_EQ(sent.size(), 258u);
  EXPECT_EQ(sent[255].Code, 0x9200FF00u);
  EXPECT_EQ(sent[256].Code, 0x92000000u);
  EXPECT_EQ(sent[257].Code, 0x92000100u);
  EXPECT_EQ(sent[257].Packet, 1);
}

TEST_F(TemperatureTable, WriteStopsAtTheFirstBlockNotAcknowledged) {
  On(0x92000000, {Ack(), Refuse(9)});
  EXPECT_EQ(WriteFile(Counting(96)), 0);
  EXPECT_EQ(Sent().size(), 2u);
  EXPECT_EQ(Calls(), Texts{"SENSORERR 9"});
}

TEST_F(TemperatureTable, FileThatCannotBeReadSendsNothing) {
  ClearSent();
  EXPECT_EQ(WriteTemperatureTableFile(sensor, u"/no/such/folder/table.bin", EcrId), 0);
  EXPECT_EQ(
      WriteTemperatureTableFile(sensor, std::filesystem::temp_directory_path().u16string().c_str(), EcrId),
      0);
  EXPECT_EQ(WriteTemperatureTableFile(sensor, nullptr, EcrId), 0);
  EXPECT_TRUE(Sent().empty());
}

// Four 32-byte packets: learning flag 1, 15 points, point 0 = 3/-3/1.5,
// point 1 = 4/-4/2.
Bytes TablePacket(size_t packet) {
  Bytes table(128, 0);
  table[0] = 1;
  table[1] = 15;
  for (size_t i = 0; i < 15; ++i) {
    const size_t at = 8 + 8 * i;
    table[at + 1] = static_cast<uint8_t>(i + 3);
    table[at + 2] = 0xFF;
    table[at + 3] = static_cast<uint8_t>(0x100 - (i + 3));
    table[at + 7] = static_cast<uint8_t>(150 + 50 * i);
  }
  return Slice(table, packet * 32, 32);
}

TEST_F(TemperatureTable, ReadDecodesOnlyTheCompleteTable) {
  // Each packet is a well-formed measurement too: none may be taken as one.
  On(0xA0000000, {WithData(TablePacket(0)), WithData(TablePacket(1)), WithData(TablePacket(2)),
                  WithData(TablePacket(3))});
  sensor.SetOpValue(u"op");
  sensor.SetTareValue(u"tare");
  EXPECT_EQ(ReadTemperatureTable(sensor, EcrId), -1);
  EXPECT_EQ(Sent(),
            (Sends{{0xA0000000, 0, {}}, {0xA0000100, 1, {}}, {0xA0000200, 2, {}}, {0xA0000300, 3, {}}}));
  // Byte 8 of the last answer (the low byte of its code here) comes first.
  EXPECT_EQ(Calls(), Texts{"TEMCOMPENSATEINFO 0 1 15 3/-3/1.5 4/-4/2"});
  EXPECT_EQ(sensor.OpValue(), u"op");
  EXPECT_EQ(sensor.TareValue(), u"tare");
  EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);
}

TEST_F(TemperatureTable, ReadStopsAtTheFirstPacketThatFails) {
  On(0xA0000000, {WithData(TablePacket(0)), Refuse(1)});
  EXPECT_EQ(ReadTemperatureTable(sensor, EcrId), 0);
  EXPECT_EQ(Sent(), (Sends{{0xA0000000, 0, {}}, {0xA0000100, 1, {}}}));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(sensor.Mode(), TPSensorOption::poNull);
}

} // namespace
} // namespace pondrex::test
