// The firmware download front end: which file it sends, the temporary file
// beside the image, the settings it gives the driver, and the reports that
// reach the host's callback.
#include "TDownloadProgramme.h"
#include "FakeBootLoader.h"
#include "FileBytes.h"
#include "FirmwareImage.h"
#include "ProgressRecorder.h"
#include "ScratchFolder.h"
#include "TFakePlatform.h"

#include <gtest/gtest.h>

namespace pondrex::test {
namespace {

class DownloadProgramme : public ::testing::Test {
protected:
  DownloadProgramme() {
    ProgressReports().clear();
    slots.DownloadProgressProc = &RecordProgress;
  }
  std::u16string Write(const Bytes &image) {
    const std::filesystem::path path = folder / "image.bin";
    EXPECT_TRUE(WriteFileBytes(path, image));
    return path.u16string();
  }
  // The program bytes of the blocks the boot loader received, in order.
  Bytes BlockData() const {
    Bytes data;
    for (const Bytes &packet : boot.Packets(TBootRequest::Block))
      data.insert(data.end(), packet.begin() + 3, packet.begin() + 259);
    return data;
  }

  TFakePlatform platform;
  TLinkProcessFlags flags;
  TCallbackSlots slots;
  TScratchFolder folder;
  TFakeSerialLine &line = platform.Line(u"COM7");
  TFakeBootLoader boot{line};
  TDownloadProgramme download{platform, flags, slots, folder / "DEBUG.LOG"};
  const Bytes part8k = CheckedPart(8192, 1);
  const Bytes program = ProgramPart(3, 0x0102, 2);
};

TEST_F(DownloadProgramme, TemporaryFileBesideTheImage) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"C:\\fw\\image.bin", u"C:\\fw\\Prgfile.^tmp"},
      {u"D:image.bin", u"D:Prgfile.^tmp"},
      {u"image.bin", u"Prgfile.^tmp"},
      {u"/tmp/fw/image.bin", u"/tmp/fw/Prgfile.^tmp"},
      {u"\\\\host\\share\\\u4E2D.bin", u"\\\\host\\share\\Prgfile.^tmp"},
  };
  for (const auto &[image, expected] : cases)
    EXPECT_EQ(TDownloadProgramme::TemporaryFileFor(image), expected);
}

TEST_F(DownloadProgramme, ImageWhosePartsCheckSendsOnlyItsProgramPartFromTheTemporaryFile) {
  download.Execute(Write(SplitImage(part8k, program)), u"COM7", 9600, TCommunicationMode::cmCOM);
  EXPECT_EQ(ReadFileBytes(folder / u"Prgfile.^tmp"), program);
  EXPECT_EQ(BlockData(), Bytes(program.begin() + 4096, program.end()));
  const uint16_t sum = Sum16(program);
  EXPECT_EQ(boot.Packets(TBootRequest::End).back(),
            StampedPacket(15, 1, 0, {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)}));
  EXPECT_EQ(ProgressReports(), (std::vector<TProgressReport>{{1, 3, 2, "Download Program... "},
                                                             {2, 3, 2, "Download Program... "},
                                                             {3, 3, 2, "Download Program... "},
                                                             {3, 3, 1, "Download Program complete"}}));
  EXPECT_FALSE(line.IsOpen());
  // The parts of the split are freed once the call is done.
  EXPECT_EQ(download.Prgfile().Stream8k().capacity(), 0u);
  EXPECT_EQ(download.Prgfile().Streamprogramme().capacity(), 0u);
}

TEST_F(DownloadProgramme, ImageNamedLikeTheTemporaryFileIsNotWrittenOver) {
  const Bytes image = SplitImage(part8k, program);
  const std::filesystem::path path = folder / "Prgfile.^tmp";
  ASSERT_TRUE(WriteFileBytes(path, image));
  download.Execute(path.u16string(), u"COM7", 9600, TCommunicationMode::cmCOM);
  EXPECT_EQ(ReadFileBytes(path), image);
  // Its program part is what goes to the boot loader, as for any other name.
  EXPECT_EQ(BlockData(), Bytes(program.begin() + 4096, program.end()));
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{3, 3, 1, "Download Program complete"}));

  // The next call reads its file again.
  boot.ClearLog();
  download.Execute(Write(program), u"COM7", 9600, TCommunicationMode::cmCOM);
  EXPECT_EQ(BlockData(), Bytes(program.begin() + 4096, program.end()));
}

TEST_F(DownloadProgramme, AnyOtherImageIsSentAsItIsAndAStaleTemporaryFileNever) {
  const Bytes stale(4096 + 256 * 7, 0xEE);
  ASSERT_TRUE(WriteFileBytes(folder / u"Prgfile.^tmp", stale));

  Bytes broken = SplitImage(CheckedPart(9216, 1), program);
  broken[256 + 8192 + 1] ^= 0x01;
  download.Execute(Write(broken), u"COM7", 9600, TCommunicationMode::cmCOM);
  EXPECT_EQ(BlockData(), Bytes(broken.begin() + 4096, broken.end()));

  // An empty image: both (empty) parts check, nothing is written and the
  // empty image itself is refused.
  boot.ClearLog();
  ProgressReports().clear();
  download.Execute(Write({}), u"COM7", 9600, TCommunicationMode::cmCOM);
  EXPECT_TRUE(boot.Log().empty());
  EXPECT_EQ(ProgressReports(), (std::vector<TProgressReport>{{0, 0, 0, "Not a valid file!"}}));
  EXPECT_EQ(ReadFileBytes(folder / u"Prgfile.^tmp"), stale);
}

TEST_F(DownloadProgramme, RateOfAnUnknownBaudValueIsThatOfThePreviousCall) {
  const std::u16string image = Write(program);
  const std::vector<std::pair<int32_t, TBaudRate>> calls = {{4800, TBaudRate::tbr9600},
                                                            {38400, TBaudRate::tbr38400},
                                                            {4800, TBaudRate::tbr38400},
                                                            {115200, TBaudRate::tbr115200},
                                                            {0, TBaudRate::tbr115200}};
  for (const auto &[baud, expected] : calls) {
    SCOPED_TRACE(baud);
    boot.ClearLog();
    download.Execute(image, u"COM7", baud, TCommunicationMode::cmCOM);
    EXPECT_EQ(download.UProgramme1().BaudRate(), expected);
    EXPECT_EQ(boot.Packets(TBootRequest::Connect).back()[13], static_cast<uint8_t>(expected));
    EXPECT_EQ(boot.Rates(TBootRequest::Start).back(), IBusRate(expected));
  }
  EXPECT_EQ(download.UProgramme1().Retrycount(), 5);
  EXPECT_EQ(download.UProgramme1().RetryInterval(), 1500);
}

TEST_F(DownloadProgramme, UsbPrinterLinkDownloadsThroughAUsbPrinterPort) {
  download.Execute(Write(program), u"COM7", 9600, TCommunicationMode::cmUSBPRN);
  EXPECT_EQ(download.UProgramme1().ComMode(), TCommunicationMode::cmUSBPRN);
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{0, 3, 3, "waiting..."}));
  download.Execute(Write(program), u"COM7", 9600, TCommunicationMode::cmUDP);
  EXPECT_EQ(download.UProgramme1().ComMode(), TCommunicationMode::cmCOM);
}

TEST_F(DownloadProgramme, ErrorsEndTheFrontEndWithThePortClosed) {
  // 8K part length beyond the file.
  Bytes tooLong = ImageHeader("P438", 100000);
  tooLong.resize(5000);
  EXPECT_THROW(download.Execute(Write(tooLong), u"COM7", 9600, TCommunicationMode::cmCOM),
               EProgramImageError);
  EXPECT_THROW(
      download.Execute((folder / "missing.bin").u16string(), u"COM7", 9600, TCommunicationMode::cmCOM),
      EProgramImageError);
  EXPECT_TRUE(line.Events().empty());
}

TEST_F(DownloadProgramme, DebugLogThatCannotBeWrittenLeavesTheOutcomeToTheBootLoader) {
  TDownloadProgramme unwritable(platform, flags, slots, folder / "missing" / "DEBUG.LOG");
  unwritable.Execute(Write(program), u"COM7", 9600, TCommunicationMode::cmCOM);
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{3, 3, 1, "Download Program complete"}));
  EXPECT_EQ(boot.Packets(TBootRequest::End).size(), 1u);
  EXPECT_FALSE(line.IsOpen());

  // A failure stays the boot loader's failure.
  boot.On(TBootRequest::End, {TBootReply::Refuse()});
  unwritable.Execute(Write(program), u"COM7", 9600, TCommunicationMode::cmCOM);
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{0, 3, 0, "Disconnect fail"}));
}

TEST_F(DownloadProgramme, ReportTextsReachTheHostInTheSystemCodePage) {
  TUProgrammeEventAge age;
  age.SetMessage(u"Open COM\u00e97fail!");
  age.SetCurNo(1);
  age.SetTotalNo(2);
  age.SetStatus(0);
  download.DoDownloadProgress(download.UProgramme1(), age);
  EXPECT_EQ(ProgressReports(), (std::vector<TProgressReport>{{1, 2, 0,
                                                              "Open COM\xe9"
                                                              "7fail!"}}));
  slots.DownloadProgressProc = nullptr;
  download.DoDownloadProgress(download.UProgramme1(), age);
  EXPECT_EQ(ProgressReports().size(), 1u);
}

} // namespace
} // namespace pondrex::test
