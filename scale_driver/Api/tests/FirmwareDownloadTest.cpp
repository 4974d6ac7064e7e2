// The download export's work: the scale link gives up its port for the
// download and gets it back, the host's callback gets every report and, when
// the download ends with an error, a last report of the failure.
#include "FirmwareDownload.h"
#include "FakeBootLoader.h"
#include "FileBytes.h"
#include "FirmwareImage.h"
#include "OpenLinkFixture.h"
#include "ProgressRecorder.h"
#include "ScratchFolder.h"
#include "SystemCodePage.h"

#include <gtest/gtest.h>

namespace pondrex::test {
namespace {

class FirmwareDownload : public OpenLinkFixture {
protected:
  FirmwareDownload() { ProgressReports().clear(); }

  std::string WriteImage(const Bytes &image, const std::u16string &name = u"image.bin") {
    const std::filesystem::path path = folder / name;
    EXPECT_TRUE(WriteFileBytes(path, image));
    return TextToSystemBytes(path.u16string()).value();
  }
  void Download(const std::string &file, TDownloadProgressProc progress = &RecordProgress) {
    api::DownloadProgramme(sensor, download, slots, file.c_str(), "COM3", 9600, progress);
  }

  TScratchFolder folder;
  TFakeBootLoader boot{line};
  TDownloadProgramme download{platform, flags, slots, folder / "DEBUG.LOG"};
  const Bytes image = ProgramPart(2, 7, 9);
};

TEST_F(FirmwareDownload, OpenLinkGivesUpItsPortAndIsOpenAgainAfterwards) {
  ASSERT_TRUE(link().Active());
  Download(WriteImage(image));
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{2, 2, 1, "Download Program complete"}));
  EXPECT_TRUE(link().Active());
  EXPECT_TRUE(line.IsOpen());
  EXPECT_EQ(line.Settings().BaudRate, 9600u);
  // Link, bus (the download), link again.
  EXPECT_EQ(line.EventsOf(TSerialEventKind::Started).size(), 3u);
}

TEST_F(FirmwareDownload, ClosedLinkStaysClosed) {
  link().Close();
  Download(WriteImage(image));
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{2, 2, 1, "Download Program complete"}));
  EXPECT_FALSE(link().Active());
  EXPECT_FALSE(line.IsOpen());
}

TEST_F(FirmwareDownload, DownloadEndingWithAnErrorReportsTheFailureLastAndReopensTheLink) {
  Bytes tooLong = ImageHeader("P438", 1u << 20);
  tooLong.resize(4096);
  const std::vector<std::string> files = {WriteImage(tooLong), (folder.Path() / "missing.bin").string(), ""};
  for (const std::string &file : files) {
    SCOPED_TRACE(file);
    ProgressReports().clear();
    Download(file);
    EXPECT_EQ(ProgressReports(), (std::vector<TProgressReport>{{0, 0, 0, "Download Program fail"}}));
    EXPECT_TRUE(link().Active());
    EXPECT_TRUE(line.IsOpen());
  }
  api::DownloadProgramme(sensor, download, slots, nullptr, nullptr, 9600, &RecordProgress);
  EXPECT_EQ(ProgressReports().size(), 2u);
}

TEST_F(FirmwareDownload, NullCallbackGivesASilentDownload) {
  Download(WriteImage(image), nullptr);
  EXPECT_EQ(slots.DownloadProgressProc, nullptr);
  EXPECT_TRUE(ProgressReports().empty());
  EXPECT_EQ(boot.Packets(TBootRequest::Block).size(), 2u);
}

TEST_F(FirmwareDownload, FileNameInTheSystemCodePage) {
  Download(WriteImage(image, u"caf\u00e9.bin"));
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{2, 2, 1, "Download Program complete"}));
}

// A download started from a progress report of another does nothing.
std::function<void()> nestedDownload;
void PONDREX_STDCALL StartAnotherDownload(int32_t current, int32_t total, int32_t status, const char *text) {
  RecordProgress(current, total, status, text);
  nestedDownload();
}

TEST_F(FirmwareDownload, DownloadStartedFromAReportDoesNothing) {
  const std::string nestedFile = WriteImage(image);
  nestedDownload = [&] { Download(nestedFile); };
  Download(nestedFile, &StartAnotherDownload);
  EXPECT_EQ(ProgressReports().size(), 3u);
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{2, 2, 1, "Download Program complete"}));
  EXPECT_EQ(boot.Packets(TBootRequest::Connect).size(), 1u);
  EXPECT_TRUE(link().Active());
}

} // namespace
} // namespace pondrex::test
