// Pondrex.dll's firmware download against the simulated boot loader, as a
// host program runs it: the export bound by name and called as stdcall
// with the host's progress callback; the frames, bursts, rates and times on
// the line; the files beside the image and beside the host; the scale link
// around the download; the failures and their bounds.
#include "BootLoaderClient.h"
#include "FirmwareImage.h"
#include "HostCallbacks.h"
#include "HostThread.h"
#include "Pondrex.h"
#include "PondrexExports.h"
#include "ReloadPondrex.h"

#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using pos::test::BootLoaderClient;
using pos::test::BootReply;
using pos::test::hostCallbackCalls;
using pos::test::hostCallbackTexts;
using pos::test::LoadedModule;
using pos::test::PondrexExports;
using pos::test::runOnOtherThread;
using pos::test::ScaleLogEntry;
using pos::test::WhileWaiting;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

constexpr uint32_t TareCode = 0x80040000;

std::string progressText(int32_t current, int32_t total, int32_t status, const std::string &message) {
  char text[256];
  std::snprintf(text, sizeof text, "DOWNLOADPROGRESS current=%d total=%d status=%d message=[%s]", current,
                total, status, message.c_str());
  return text;
}

Texts blockReports(int32_t count, int32_t total) {
  Texts texts;
  for (int32_t i = 1; i <= count; ++i)
    texts.push_back(progressText(i, total, 2, "Download Program... "));
  return texts;
}

std::string narrow(const std::wstring &text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(static_cast<size_t>(size) - 1);
  return bytes;
}

std::wstring exeFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring full(path, length);
  return full.substr(0, full.find_last_of(L"\\/") + 1);
}

Bytes readFile(const std::wstring &path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::wstring &path, const Bytes &bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Seconds since 1601 of a local time, for comparing times.
uint64_t secondsOf(const SYSTEMTIME &time) {
  FILETIME file;
  SystemTimeToFileTime(&time, &file);
  return (uint64_t{file.dwHighDateTime} << 32 | file.dwLowDateTime) / 10000000;
}

uint16_t fromBcd(uint8_t byte) {
  return static_cast<uint16_t>((byte >> 4) * 10 + (byte & 0x0F));
}

// The CPU time of the process, user and kernel, in ms.
uint64_t processCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME &t) { return (uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 10000; };
  return ms(kernel) + ms(user);
}

// Answers each message box that the calling thread shows: records its text
// and presses OK.
class MessageBoxAnswerer {
public:
  MessageBoxAnswerer() {
    active_ = this;
    hook_ = SetWindowsHookExW(WH_CBT, &MessageBoxAnswerer::hook, nullptr, GetCurrentThreadId());
  }
  ~MessageBoxAnswerer() {
    UnhookWindowsHookEx(hook_);
    active_ = nullptr;
  }
  MessageBoxAnswerer(const MessageBoxAnswerer &) = delete;
  MessageBoxAnswerer &operator=(const MessageBoxAnswerer &) = delete;
  std::vector<std::wstring> texts;

private:
  static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && active_ != nullptr) {
      HWND box = reinterpret_cast<HWND>(wParam);
      wchar_t className[16] = {};
      GetClassNameW(box, className, 16);
      if (std::wstring(className) == L"#32770") {
        wchar_t text[256] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        active_->texts.push_back(text);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline MessageBoxAnswerer *active_ = nullptr;
  HHOOK hook_ = nullptr;
};

class Download : public ::testing::Test {
protected:
  void SetUp() override {
    hostCallbackCalls().clear();
    boot_.bootReset();
    boot_.setId(123456);
    boot_.is1Text('S', ' ', "  1.25", "kg");
    folder_ = tempFolder();
    dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
    ASSERT_TRUE(dll_->loaded()) << "LoadLibraryW(Pondrex.dll) failed, error " << dll_->loadError();
    pondrex_ = std::make_unique<PondrexExports>(*dll_);
    config();
  }
  void config() {
    const pos::test::HostCallbackSlots cb = pos::test::hostCallbackSlots();
    pondrex_->call("Config", {5, 300, 0, cb.sensorErr, cb.sensorInfo, cb.opBoxInfo, cb.leadInfo, cb.is1Info,
                              cb.temCompensateInfo});
  }
  void TearDown() override {
    PONDREX_INVOKE(*pondrex_, CloseDevice);
    EXPECT_EQ(pondrex_->faults(), Texts{});
    pondrex_.reset();
    dll_.reset();
    for (const wchar_t *name : {L"image.bin", L"Prgfile.^tmp"})
      DeleteFileW((folder_ + name).c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  static std::wstring tempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"pondrex-download-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(GetTickCount()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
  }

  int32_t openLink() {
    return static_cast<int32_t>(PONDREX_INVOKE(*pondrex_, OpenDevice, port_.c_str(), 9600));
  }
  int32_t tare() { return static_cast<int32_t>(PONDREX_INVOKE(*pondrex_, Tare, "123456")); }

  // Writes the image and downloads it through portName; returns the wall
  // time it took in ms.
  DWORD download(const Bytes &image, const std::string &portName) {
    writeFile(folder_ + L"image.bin", image);
    boot_.clear();
    hostCallbackCalls().clear();
    const std::string file = narrow(folder_ + L"image.bin");
    const DWORD started = GetTickCount();
    PONDREX_INVOKE(*pondrex_, DownloadProgramme, file.c_str(), portName.c_str(), 9600,
                   reinterpret_cast<TPondrexDownloadProgressProc>(pos::test::downloadProgressSlot()));
    return GetTickCount() - started;
  }

  // The boot loader's log once it holds count entries (at most 5 s later).
  std::vector<ScaleLogEntry> bootLog(size_t count) { return boot_.bootLog(count, 5000); }

  static Bytes packetData(const ScaleLogEntry &frame) {
    return Bytes(frame.bytes.begin() + 3, frame.bytes.begin() + 259);
  }

  BootLoaderClient boot_;
  std::string port_ = BootLoaderClient::comPort();
  std::wstring folder_;
  std::unique_ptr<LoadedModule> dll_;
  std::unique_ptr<PondrexExports> pondrex_;
};

TEST_F(Download, ImageWhosePartsCheckGoesToTheBootLoaderAndTheLinkIsOpenAgain) {
  ASSERT_EQ(openLink(), -1);
  const std::wstring debugLog = exeFolder() + L"DEBUG.LOG";
  DeleteFileW(debugLog.c_str());
  const uint16_t version = 0x0304;
  const Bytes program = pondrex::test::ProgramPart(200, version, 0x5C);
  const Bytes image = pondrex::test::SplitImage(pondrex::test::CheckedPart(8192, 0x17), program);

  SYSTEMTIME before;
  GetLocalTime(&before);
  const uint64_t cpuBefore = processCpuMs();
  const DWORD wallMs = download(image, port_);
  const uint64_t cpuMs = processCpuMs() - cpuBefore;
  SYSTEMTIME after;
  GetLocalTime(&after);
  std::cout << "download of 200 blocks: " << wallMs << " ms wall time, " << cpuMs
            << " ms CPU time of the host" << std::endl;

  // force, force, burst, burst, connect, status, start, burst, 200 blocks, end
  const std::vector<ScaleLogEntry> log = bootLog(209);
  ASSERT_EQ(log.size(), 209u);
  std::vector<std::string> kinds;
  for (const ScaleLogEntry &entry : log)
    kinds.push_back(entry.kind);
  std::vector<std::string> expectedKinds = {"force", "force", "burst", "burst",
                                            "frame", "frame", "frame", "burst"};
  expectedKinds.insert(expectedKinds.end(), 201, "frame");
  EXPECT_EQ(kinds, expectedKinds);

  const Bytes forceUpdate = {'f', 'o', 'r', 'c', 'e', ' ', 'u', 'p', 'd', 'a', 't', 'e'};
  EXPECT_EQ(log[0].bytes, forceUpdate);
  EXPECT_EQ(log[1].bytes, forceUpdate);
  for (size_t i : {size_t{2}, size_t{3}, size_t{7}})
    EXPECT_EQ(log[i].bytes, Bytes(64, 0x66)) << "burst " << i;
  // The peer sees the rate of the line when it reads a chunk. A
  // pseudo-terminal takes no time to transmit, so after the second burst
  // and the pulse, which the driver follows at once with the switch back to
  // 9600, the peer may read the burst after that switch; the first burst is
  // followed by a second at 4800 and shows the rate the driver sets. (The
  // native tests check every write's rate on the fake line.)
  EXPECT_EQ(log[2].baud, 4800u);
  EXPECT_GE(log[3].timeMs - log[2].timeMs, 950u);
  EXPECT_LE(log[3].timeMs - log[2].timeMs, 1500u);
  for (size_t i = 4; i < log.size(); ++i) {
    if (i != 7) {
      EXPECT_EQ(log[i].baud, 9600u) << "entry " << i;
    }
  }

  // Connect: ID 1234, the local date and time, rate 9600, a program to come.
  const Bytes &connect = log[4].bytes;
  EXPECT_EQ(Bytes(connect.begin(), connect.begin() + 7), (Bytes{14, 1, 0, 0x34, 0x12, 0x00, 0x00}));
  SYSTEMTIME sent = {};
  sent.wYear = static_cast<WORD>(2000 + fromBcd(connect[7]));
  sent.wMonth = fromBcd(connect[8]);
  sent.wDay = fromBcd(connect[9]);
  sent.wHour = fromBcd(connect[10]);
  sent.wMinute = fromBcd(connect[11]);
  sent.wSecond = fromBcd(connect[12]);
  EXPECT_GE(secondsOf(sent), secondsOf(before));
  EXPECT_LE(secondsOf(sent), secondsOf(after));
  EXPECT_EQ(connect[13], 0);
  EXPECT_EQ(connect[14], 0);
  EXPECT_EQ(Bytes(log[5].bytes.begin(), log[5].bytes.begin() + 6), (Bytes{14, 16, 0, 0, 0, 16}));
  EXPECT_EQ(Bytes(log[6].bytes.begin(), log[6].bytes.begin() + 5), (Bytes{15, 0, 0, 0x04, 0x03}));
  for (size_t i = 0; i < 200; ++i) {
    const ScaleLogEntry &block = log[8 + i];
    const uint16_t address = static_cast<uint16_t>(i + 16);
    ASSERT_EQ(Bytes(block.bytes.begin(), block.bytes.begin() + 3),
              (Bytes{15, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)}))
        << "block " << i;
    ASSERT_EQ(packetData(block),
              Bytes(program.begin() + 4096 + 256 * i, program.begin() + 4096 + 256 * (i + 1)))
        << "block " << i;
  }
  const uint16_t sum = pondrex::test::Sum16(program);
  EXPECT_EQ(Bytes(log[208].bytes.begin(), log[208].bytes.begin() + 5),
            (Bytes{15, 1, 0, static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)}));

  // Every report in order, each block's from the same stack depth.
  Texts expected = blockReports(200, 200);
  expected.push_back(progressText(200, 200, 1, "Download Program complete"));
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), expected);
  std::vector<uint32_t> depths;
  for (const auto &call : hostCallbackCalls()) {
    if (call.name == "DOWNLOADPROGRESS")
      depths.push_back(call.esp);
  }
  ASSERT_EQ(depths.size(), 201u);
  EXPECT_EQ(std::vector<uint32_t>(depths.begin(), depths.begin() + 200),
            std::vector<uint32_t>(200, depths[0]));

  EXPECT_EQ(readFile(folder_ + L"Prgfile.^tmp"), program);
  const DWORD attributes = GetFileAttributesW(debugLog.c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "no DEBUG.LOG beside the host";
  EXPECT_TRUE(readFile(debugLog).empty());

  // The boot loader handed the line back after the end; the link is open.
  EXPECT_EQ(tare(), -1);
  bool tareSeen = false;
  for (const ScaleLogEntry &entry : boot_.log(1, 3000))
    tareSeen = tareSeen || (entry.kind == "frame" && entry.bytes.size() >= 9 && entry.bytes[5] == 0x80 &&
                            entry.bytes[6] == 0x04);
  EXPECT_TRUE(tareSeen);
}

TEST_F(Download, RefusedConnectEndsTheDownloadAndAClosedLinkStaysClosed) {
  boot_.bootOn("CONNECT", {BootReply::refuse()});
  const Bytes image = pondrex::test::ProgramPart(4, 1, 2);
  const DWORD took = download(image, port_);
  EXPECT_LT(took, 20000u);
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"),
            Texts{progressText(0, static_cast<int32_t>(image.size()), 0, "Connection fail")});
  size_t connects = 0;
  for (const ScaleLogEntry &entry : bootLog(5))
    connects += entry.kind == "frame" && entry.bytes[0] == 14 && entry.bytes[1] == 1;
  EXPECT_EQ(connects, 1u);

  boot_.bootLeave();
  hostCallbackCalls().clear();
  EXPECT_EQ(tare(), 0);
  EXPECT_EQ(hostCallbackTexts("SENSORERR"), Texts{"SENSORERR code=-1"});
}

TEST_F(Download, BootLoaderSilentAfterBlockThreeFailsWithTheBlockNumber) {
  ASSERT_EQ(openLink(), -1);
  const BootReply ack = BootReply::ack();
  boot_.bootOn("BLOCK", {ack, ack, ack, BootReply::silent()});
  const DWORD took = download(pondrex::test::ProgramPart(10, 1, 3), port_);
  EXPECT_LT(took, 40000u);
  Texts expected = blockReports(4, 10);
  expected.push_back(progressText(4, 10, 0, "Download Program fail"));
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), expected);
  size_t fourth = 0;
  for (const ScaleLogEntry &entry : bootLog(17))
    fourth += entry.kind == "frame" && entry.bytes[0] == 15 && entry.bytes[1] == 19;
  EXPECT_EQ(fourth, 6u); // the first send and 5 retries

  boot_.bootLeave();
  EXPECT_EQ(tare(), -1);
}

TEST_F(Download, PortThatCannotBeOpenedShowsTheBoxReportsAndReopensTheLink) {
  ASSERT_EQ(openLink(), -1);
  MessageBoxAnswerer boxes;
  const DWORD took = download(pondrex::test::ProgramPart(4, 1, 2), "COM99");
  EXPECT_LT(took, 10000u);
  EXPECT_EQ(boxes.texts, std::vector<std::wstring>{L"Error opening COM99!\r\nplease select other ports."});
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), Texts{progressText(0, 0, 0, "Open COM99fail!")});
  EXPECT_TRUE(bootLog(0).empty());
  EXPECT_EQ(tare(), -1);
}

// The private memory of the process, in bytes.
size_t privateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

TEST_F(Download, ImageBeyondTheBlockAddressIsRefusedAndItsPartsFreed) {
  ASSERT_EQ(openLink(), -1);
  // 32 MB of zeros: both parts check, and the program part that would be
  // sent has 131055 blocks, far beyond the 65520 that the address reaches.
  const Bytes image(32u << 20, 0);
  const size_t before = privateBytes();
  download(image, port_);
  const size_t after = privateBytes();
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"),
            Texts{progressText(0, static_cast<int32_t>(image.size() - 256), 0, "Not a valid file!")});
  EXPECT_TRUE(bootLog(0).empty());
  EXPECT_LT(after, before + (16u << 20)) << "private bytes " << before << " before, " << after << " after";
  EXPECT_EQ(tare(), -1);
}

TEST_F(Download, DebugLogThatCannotBeWrittenLeavesTheOutcomeToTheBootLoader) {
  // A folder in the log's place: the log cannot be written.
  const std::wstring debugLog = exeFolder() + L"DEBUG.LOG";
  DeleteFileW(debugLog.c_str());
  ASSERT_TRUE(CreateDirectoryW(debugLog.c_str(), nullptr));
  download(pondrex::test::ProgramPart(2, 1, 4), port_);
  RemoveDirectoryW(debugLog.c_str());
  Texts expected = blockReports(2, 2);
  expected.push_back(progressText(2, 2, 1, "Download Program complete"));
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), expected);
}

Texts completeReports(int32_t blocks) {
  Texts texts = blockReports(blocks, blocks);
  texts.push_back(progressText(blocks, blocks, 1, "Download Program complete"));
  return texts;
}

// A host that downloads on threads of its own, each of which ends after its
// download while the loading thread waits for it without pumping, and on
// the loading thread, in turn.
TEST_F(Download, DownloadsOnThreadsThatEndAndOnTheLoadingThreadEachComplete) {
  ASSERT_EQ(openLink(), -1);
  const Bytes image = pondrex::test::ProgramPart(2, 1, 6);
  for (const bool ownThread : {true, false, true}) {
    SCOPED_TRACE(ownThread ? "on a thread of its own" : "on the loading thread");
    if (ownThread) {
      EXPECT_EQ(runOnOtherThread(WhileWaiting::block, [&] { download(image, port_); }), 0u)
          << "windows left on the thread";
    } else {
      download(image, port_);
    }
    EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), completeReports(2));
  }
  // The link, opened again by the last download on its thread, answers on
  // the thread that it belongs to.
  EXPECT_EQ(tare(), -1);
}

// The host's first call is a download on a thread of its own: the weighing
// link is made later, on the thread that sets it up, and works there.
TEST_F(Download, FirstCallADownloadOnAThreadThatEndsLeavesTheLinkToTheHostsThread) {
  ASSERT_NO_FATAL_FAILURE(pos::test::reloadPondrex(dll_, pondrex_));
  const Bytes image = pondrex::test::ProgramPart(2, 1, 6);
  EXPECT_EQ(runOnOtherThread(WhileWaiting::block, [&] { download(image, port_); }), 0u)
      << "windows left on the thread";
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), completeReports(2));

  config();
  ASSERT_EQ(openLink(), -1);
  EXPECT_EQ(tare(), -1);
  download(image, port_);
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), completeReports(2));
  EXPECT_EQ(tare(), -1);
}

// Calls made while a download runs, from its progress callback and from a
// second host thread: each is refused, the second through its own callback
// (the first comes from inside the running download, whose own reports
// stand), and the running download goes on.
std::vector<std::string> refusedReports;
void __stdcall recordRefused(int32_t current, int32_t total, int32_t status, const char *message) {
  refusedReports.push_back(progressText(current, total, status, message));
}
PondrexExports *runningExports = nullptr;
std::string runningImage;
void callDuringDownload() {
  PONDREX_INVOKE(*runningExports, DownloadProgramme, runningImage.c_str(),
                 BootLoaderClient::comPort().c_str(), 9600, &recordRefused);
}
DWORD WINAPI callFromOtherThread(void *) {
  callDuringDownload();
  return 0;
}
void __stdcall startOthers(int32_t current, int32_t total, int32_t status, const char *message) {
  reinterpret_cast<TPondrexDownloadProgressProc>(pos::test::downloadProgressSlot())(current, total, status,
                                                                                    message);
  if (status != 2 || current != 1)
    return;
  callDuringDownload();
  HANDLE other = CreateThread(nullptr, 0, &callFromOtherThread, nullptr, 0, nullptr);
  WaitForSingleObject(other, INFINITE);
  CloseHandle(other);
}

TEST_F(Download, CallsWhileADownloadRunsAreRefusedAndOnlyAnotherThreadHearsOfIt) {
  ASSERT_EQ(openLink(), -1);
  writeFile(folder_ + L"image.bin", pondrex::test::ProgramPart(3, 1, 5));
  runningExports = pondrex_.get();
  runningImage = narrow(folder_ + L"image.bin");
  refusedReports.clear();
  hostCallbackCalls().clear();
  PONDREX_INVOKE(*pondrex_, DownloadProgramme, runningImage.c_str(), port_.c_str(), 9600, &startOthers);
  EXPECT_EQ(refusedReports, Texts(1, progressText(0, 0, 0, "Download Program fail")));
  Texts expected = blockReports(3, 3);
  expected.push_back(progressText(3, 3, 1, "Download Program complete"));
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), expected);
  size_t connects = 0;
  for (const ScaleLogEntry &entry : bootLog(12))
    connects += entry.kind == "frame" && entry.bytes[0] == 14 && entry.bytes[1] == 1;
  EXPECT_EQ(connects, 1u);
  EXPECT_EQ(tare(), -1);
}

// Price transfers called from a download's progress report: the download
// has the port, so they are refused at once.
int16_t priceDuringDownload = 1;
uint8_t uploadDuringDownload = 2;
std::string uploadTarget;
void __stdcall transferFromReport(int32_t current, int32_t total, int32_t status, const char *message) {
  reinterpret_cast<TPondrexDownloadProgressProc>(pos::test::downloadProgressSlot())(current, total, status,
                                                                                    message);
  if (status != 2 || current != 1)
    return;
  const double price = 12.5;
  uint32_t slots[2];
  std::memcpy(slots, &price, sizeof price);
  priceDuringDownload =
      static_cast<int16_t>(runningExports->call("SendPrice", {slots[0], slots[1]}) & 0xFFFF);
  uploadDuringDownload =
      static_cast<uint8_t>(PONDREX_INVOKE(*runningExports, UpLoadPlu, uploadTarget.c_str()) & 0xFF);
}

TEST_F(Download, PriceTransfersCalledFromAProgressReportAreRefusedWithNothingSent) {
  ASSERT_EQ(openLink(), -1);
  PONDREX_INVOKE(*pondrex_, CreateComm);
  writeFile(folder_ + L"image.bin", pondrex::test::ProgramPart(3, 1, 5));
  runningExports = pondrex_.get();
  uploadTarget = narrow(folder_ + L"plu.txt");
  priceDuringDownload = 1;
  uploadDuringDownload = 2;
  boot_.clear();
  hostCallbackCalls().clear();
  PONDREX_INVOKE(*pondrex_, DownloadProgramme, narrow(folder_ + L"image.bin").c_str(), port_.c_str(), 9600,
                 &transferFromReport);
  EXPECT_EQ(priceDuringDownload, 0);
  EXPECT_EQ(uploadDuringDownload, 0);
  // No link error raised to the host in the middle of the download.
  EXPECT_EQ(hostCallbackTexts("SENSORERR"), Texts{});
  Texts expected = blockReports(3, 3);
  expected.push_back(progressText(3, 3, 1, "Download Program complete"));
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), expected);
  // force, force, burst, burst, connect, status, start, burst, 3 blocks,
  // end: and no price bus byte among them.
  const std::vector<ScaleLogEntry> log = bootLog(12);
  EXPECT_EQ(log.size(), 12u);
  for (const ScaleLogEntry &entry : log)
    EXPECT_TRUE(entry.kind != "raw" && entry.bytes != Bytes{0x44}) << entry.kind << " at " << entry.baud;
  EXPECT_EQ(GetFileAttributesW((folder_ + L"plu.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(tare(), -1);
}

TEST_F(Download, ImageThatCannotBeReadEndsWithAFailureReport) {
  ASSERT_EQ(openLink(), -1);
  hostCallbackCalls().clear();
  const std::string missing = narrow(folder_ + L"missing.bin");
  PONDREX_INVOKE(*pondrex_, __DownloadProgramme, missing.c_str(), port_.c_str(), 9600,
                 reinterpret_cast<TPondrexDownloadProgressProc>(pos::test::downloadProgressSlot()));
  EXPECT_EQ(hostCallbackTexts("DOWNLOADPROGRESS"), Texts{progressText(0, 0, 0, "Download Program fail")});
  EXPECT_EQ(tare(), -1);
}

} // namespace
