// The download export's work: the scale link gives up its port for the
// download and gets it back, the host's callback gets every report and, when
// the download ends with an error, a last report of the failure.
#include "FirmwareDownload.h"
#include "FakeBootLoader.h"
#include "FileBytes.h"
#include "FirmwareImage.h"
#include "OpenLinkFixture.h"
#include "PSensorGlobals.h"
#include "PriceTransfer.h"
#include "ProgressRecorder.h"
#include "ScopeExit.h"
#include "ScratchFolder.h"
#include "SystemCodePage.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

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
  // As the export runs it: claimed first, then the download.
  void Download(const std::string &file, TDownloadProgressProc progress = &RecordProgress) {
    api::RunOneDownload(progress, [&] {
      api::DownloadProgramme(&sensor, download, slots, file.c_str(), "COM3", 9600, progress);
    });
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
  api::RunOneDownload(&RecordProgress, [&] {
    api::DownloadProgramme(&sensor, download, slots, nullptr, nullptr, 9600, &RecordProgress);
  });
  EXPECT_EQ(ProgressReports().size(), 2u);
}

TEST_F(FirmwareDownload, WithoutADriverObjectTheImageGoesThroughTheSerialPort) {
  link().Close();
  // Not consulted: there is no driver object, so no link and no mode of its.
  link().SetMode(TCommunicationMode::cmUSBPRN);
  const std::string file = WriteImage(image);
  api::RunOneDownload(&RecordProgress, [&] {
    api::DownloadProgramme(nullptr, download, slots, file.c_str(), "COM3", 9600, &RecordProgress);
  });
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{2, 2, 1, "Download Program complete"}));
  EXPECT_EQ(line.Writes().front(), Text("force update"));
  EXPECT_FALSE(link().Active());
  EXPECT_FALSE(line.IsOpen());
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

// Calls made while a download runs: from its own progress report, and from
// another thread.
std::function<void()> duringDownload;
void PONDREX_STDCALL StartAnotherDownload(int32_t current, int32_t total, int32_t status, const char *text) {
  RecordProgress(current, total, status, text);
  duringDownload();
}
std::vector<TProgressReport> refusedReports;
void PONDREX_STDCALL RecordRefused(int32_t current, int32_t total, int32_t status, const char *text) {
  refusedReports.push_back({current, total, status, text});
}

TEST_F(FirmwareDownload, CallsWhileADownloadRunsAreRefusedAndOnlyAnotherThreadsHearOfIt) {
  const std::string file = WriteImage(image);
  refusedReports.clear();
  size_t calls = 0;
  duringDownload = [&] {
    // The first from the report itself, the second from another thread.
    if (calls++ % 2 == 0) {
      Download(file, &RecordRefused);
    } else {
      std::thread other([&] { Download(file, &RecordRefused); });
      other.join();
    }
    // The running download's callback is untouched.
    EXPECT_EQ(slots.DownloadProgressProc, &StartAnotherDownload);
  };
  Download(file, &StartAnotherDownload);
  EXPECT_EQ(ProgressReports(), (std::vector<TProgressReport>{{1, 2, 2, "Download Program... "},
                                                             {2, 2, 2, "Download Program... "},
                                                             {2, 2, 1, "Download Program complete"}}));
  // Refused from inside the running download: no report; from the other
  // thread: the failure report.
  EXPECT_EQ(calls, 3u);
  EXPECT_EQ(refusedReports, std::vector<TProgressReport>(1, {0, 0, 0, "Download Program fail"}));
  EXPECT_EQ(boot.Packets(TBootRequest::Connect).size(), 1u);
  EXPECT_TRUE(link().Active());

  // Once it has ended, the next download runs.
  ProgressReports().clear();
  Download(file);
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{2, 2, 1, "Download Program complete"}));
}

// A host that retries whenever a report says the download failed, from
// inside that report.
size_t retries = 0;
std::string retriedFile;
std::function<void(const std::string &)> retryDownload;
void PONDREX_STDCALL RetryOnFailure(int32_t current, int32_t total, int32_t status, const char *text) {
  RecordProgress(current, total, status, text);
  if (status == TUProgrammeEventAge::Failed && retries++ < 50)
    retryDownload(retriedFile);
}

TEST_F(FirmwareDownload, RetryFromInsideTheLastReportReturnsWithoutAReport) {
  retriedFile = WriteImage(image);
  retries = 0;
  retryDownload = [this](const std::string &file) { Download(file, &RetryOnFailure); };
  boot.On(TBootRequest::Connect, {TBootReply::Refuse()});
  Download(retriedFile, &RetryOnFailure);
  // The download's own last report, and one retry, refused without a report.
  EXPECT_EQ(ProgressReports(),
            (std::vector<TProgressReport>{{0, static_cast<int32_t>(image.size()), 0, "Connection fail"}}));
  EXPECT_EQ(retries, 1u);
  EXPECT_EQ(boot.Packets(TBootRequest::Connect).size(), 1u);

  // From another thread the retry is refused with a report; the retry
  // inside that report gets none.
  ProgressReports().clear();
  retries = 0;
  retryDownload = [this](const std::string &file) {
    if (retries > 1) {
      Download(file, &RetryOnFailure);
      return;
    }
    std::thread other([&] { Download(file, &RetryOnFailure); });
    other.join();
  };
  Download(retriedFile, &RetryOnFailure);
  EXPECT_EQ(ProgressReports(),
            (std::vector<TProgressReport>{{0, static_cast<int32_t>(image.size()), 0, "Connection fail"},
                                          {0, 0, 0, "Download Program fail"}}));
  EXPECT_EQ(retries, 2u);
  EXPECT_EQ(boot.Packets(TBootRequest::Connect).size(), 2u);
}

// A price transfer called from a download's progress report.
std::function<int16_t()> sendPriceDuringDownload;
std::vector<int16_t> priceResults;
void PONDREX_STDCALL SendPriceFromReport(int32_t current, int32_t total, int32_t status, const char *text) {
  RecordProgress(current, total, status, text);
  if (status == TUProgrammeEventAge::InProgress && current == 1) {
    priceResults.push_back(sendPriceDuringDownload());
    std::thread other([] { priceResults.push_back(sendPriceDuringDownload()); });
    other.join();
  }
}

TEST_F(FirmwareDownload, PriceTransferCalledDuringADownloadIsRefusedWithNothingSent) {
  CreatePriceBus(platform);
  const TScopeExit freeBus([] { FreePriceBus(); });
  priceResults.clear();
  // As the export runs it: the port claimed first.
  sendPriceDuringDownload = [this] {
    return api::RunOneTransfer(int16_t{0}, [this] { return api::SendPrice(sensor, 12.5); });
  };
  Download(WriteImage(image), &SendPriceFromReport);
  EXPECT_EQ(priceResults, (std::vector<int16_t>{0, 0}));
  EXPECT_EQ(ProgressReports().back(), (TProgressReport{2, 2, 1, "Download Program complete"}));
  // No price bus frame, no second opening of the port, no link error.
  for (const Bytes &write : line.Writes())
    EXPECT_NE(write, Bytes{0x44});
  EXPECT_EQ(line.EventsOf(TSerialEventKind::StartFailed).size(), 0u);
  EXPECT_EQ(line.EventsOf(TSerialEventKind::Started).size(), 3u);
  EXPECT_TRUE(SensorErrors().empty());
  EXPECT_TRUE(link().Active());

  // Once the download has ended, the price goes.
  line.ClearEvents();
  line.SetResponder([](TFakeSerialLine &l, const TWrittenBlock &) { l.Send({0x06}, 5); });
  EXPECT_EQ(sendPriceDuringDownload(), -1);
}

} // namespace
} // namespace pondrex::test
