// Pondrex.dll against the simulated scale on the far end of its COM port,
// as a host program drives it: loaded by file name, exports bound by name
// and called as stdcall, callbacks of the host's own signatures.
#include "HostCallbacks.h"
#include "PeerClient.h"
#include "PondrexExports.h"
#include "ScaleFrames.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using pos::test::hostCallbackCalls;
using pos::test::HostCallbackSlots;
using pos::test::hostCallbackTexts;
using pos::test::LoadedModule;
using pos::test::PondrexExports;
using pos::test::ScaleClient;
using pos::test::ScaleLogEntry;
using pos::test::ScaleReply;
using pos::test::slotOf;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

const Bytes Request = {0x11};
const Bytes DoubleRequest = {0x05, 0x11};
const Bytes SecondPart = {0x03, 0x05, 0x01, 0x04, 0x0C, 0x04, 0x03, 0x04, 0x01, 0x04};
const Bytes Pelqo = {'P', 'E', 'L', 'Q', 'O'};
// Flag 201 and unit 0: nothing is divided.
const Bytes Measurement = pondrex::test::MeasurementPayload(201);
const char *const MeasurementText =
    "SENSORINFO net=12.34 tare=1 gross=13.34 mode=1 decimals=2 unit=0 oldAd=0 "
    "filterAd=0 zeroAd=0 weightAd=0 flag=201";

// The scale log without the time, as kind and bytes.
std::vector<std::pair<std::string, Bytes>> kindsAndBytes(const std::vector<ScaleLogEntry> &log) {
  std::vector<std::pair<std::string, Bytes>> entries;
  for (const ScaleLogEntry &entry : log) {
    entries.emplace_back(entry.kind, entry.bytes);
  }
  return entries;
}

class PondrexScale : public ::testing::Test {
protected:
  void SetUp() override {
    hostCallbackCalls().clear();
    scale_.reset();
    scale_.setId(123456);
    dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
    ASSERT_TRUE(dll_->loaded()) << "LoadLibraryW(Pondrex.dll) failed, error " << dll_->loadError();
    pondrex_ = std::make_unique<PondrexExports>(*dll_);
    configure(300);
  }
  void TearDown() override {
    pondrex_->result("CloseDevice");
    EXPECT_EQ(pondrex_->faults(), Texts{});
    pondrex_.reset();
    dll_.reset();
  }

  // Retry count 5, the time-out, debug off, the six callbacks.
  void configure(uint32_t timeOutMs) {
    const HostCallbackSlots cb = pos::test::hostCallbackSlots();
    pondrex_->call("Config", {5, timeOutMs, 0, cb.sensorErr, cb.sensorInfo, cb.opBoxInfo, cb.leadInfo,
                              cb.is1Info, cb.temCompensateInfo});
  }
  int32_t open(const char *exportName, uint32_t rate = 9600) {
    const DWORD started = GetTickCount();
    const int32_t result = pondrex_->result(exportName, {slotOf(port_.c_str()), rate});
    tookMs_ = GetTickCount() - started;
    return result;
  }
  // Pumps through DoEvents until count calls of the callback name came, or
  // three seconds passed.
  Texts pumpUntil(const char *name, size_t count) {
    const DWORD started = GetTickCount();
    while (hostCallbackTexts(name).size() < count && GetTickCount() - started < 3000) {
      pondrex_->call("DoEvents");
      Sleep(5);
    }
    return hostCallbackTexts(name);
  }

  // The host's own message loop: wait for a message, dispatch what is
  // queued; until done() or limitMs passed.
  template <typename Done> void hostLoop(Done done, DWORD limitMs = 10000) {
    const DWORD started = GetTickCount();
    while (!done() && GetTickCount() - started < limitMs) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  // Opens the link on a scale that then sends weight frames only when
  // pushed, with callback as IS1INFO.
  void openWithIs1Callback(void *callback) {
    scale_.is1Text('S', ' ', "  0.00", "kg");
    ASSERT_EQ(open("OpenDevice"), -1);
    scale_.is1Off();
    scale_.clear();
    pondrex_->call("SetCallBackFunc", {slotOf("IS1INFO"), slotOf(callback)});
  }

  // One weight frame of each text (six characters, kg), all in one write.
  void pushWeights(const Texts &weights) {
    Bytes frames;
    for (const std::string &weight : weights) {
      const Bytes frame = pondrex::test::Is1Frame('S', ' ', weight, "kg", 0);
      frames.insert(frames.end(), frame.begin(), frame.end());
    }
    scale_.push(frames);
  }

  ScaleClient scale_;
  std::string port_ = ScaleClient::comPort();
  std::unique_ptr<LoadedModule> dll_;
  std::unique_ptr<PondrexExports> pondrex_;
  DWORD tookMs_ = 0;
};

TEST_F(PondrexScale, OpenDeviceGetsAWeightFrameToIs1InfoThenWritesTheHandshake) {
  scale_.is1Text('S', ' ', "  1.25", "kg", 0x30);
  EXPECT_EQ(open("OpenDevice"), -1);
  EXPECT_EQ(hostCallbackTexts(), Texts{"IS1INFO status=[S] sign=[ ] weight=[  1.25] unit=[kg] flag=48"});
  // No echo of "PELQO": the wait runs its 500 passes and part 2 is not sent.
  EXPECT_GE(tookMs_, 500u);
  const auto log = kindsAndBytes(scale_.log(2, 3000));
  EXPECT_EQ(log, (std::vector<std::pair<std::string, Bytes>>{{"is1req", Request}, {"raw", Pelqo}}));

  // A scale that echoes gets the second part as well.
  pondrex_->result("CloseDevice");
  scale_.clear();
  scale_.echo(true);
  EXPECT_EQ(open("OpenDevice"), -1);
  EXPECT_EQ(
      kindsAndBytes(scale_.log(3, 3000)),
      (std::vector<std::pair<std::string, Bytes>>{{"is1req", Request}, {"raw", Pelqo}, {"raw", SecondPart}}));
}

TEST_F(PondrexScale, SilentScaleIsAskedAsOftenAsEachOpenExportRepeats) {
  EXPECT_EQ(open("OpenDevice"), 0);
  const std::vector<ScaleLogEntry> log = scale_.log(8, 3000);
  EXPECT_EQ(kindsAndBytes(log), (std::vector<std::pair<std::string, Bytes>>(8, {"is1req", Request})));
  for (size_t i = 1; i < log.size(); ++i) {
    EXPECT_GE(log[i].timeMs - log[i - 1].timeMs, 100u) << i;
  }
  EXPECT_TRUE(hostCallbackCalls().empty());

  pondrex_->result("CloseDevice");
  scale_.clear();
  EXPECT_EQ(open("__Open"), 0);
  std::vector<std::pair<std::string, Bytes>> expected = {{"is1req", DoubleRequest}};
  expected.insert(expected.end(), 4, {"is1req", Request});
  expected.insert(expected.end(), 4, {"is1req", DoubleRequest});
  EXPECT_EQ(kindsAndBytes(scale_.log(9, 3000)), expected);
}

TEST_F(PondrexScale, ConnectionProbesTheRatesUntilTheScaleAnswersAndEndsAtTheConfiguredOne) {
  configure(200);
  scale_.answerOnlyAt(38400);
  open("OpenDevice", 57600);
  scale_.log(8, 3000); // the last weight request is on its way
  scale_.clear();
  EXPECT_EQ(pondrex_->result("Connection", {slotOf("123456")}), -1);
  std::vector<uint32_t> rates;
  for (const ScaleLogEntry &entry : scale_.log(7, 3000)) {
    EXPECT_EQ(entry.kind, "frame");
    // The set-baud command with the code of the configured rate: 115200 / 57600.
    EXPECT_EQ(Bytes(entry.bytes.begin() + 5, entry.bytes.begin() + 9), (Bytes{0x80, 0x00, 0x02, 0x00}));
    if (rates.empty() || rates.back() != entry.baud) {
      rates.push_back(entry.baud);
    }
  }
  EXPECT_EQ(rates, (std::vector<uint32_t>{9600, 115200, 19200, 38400}));
  EXPECT_EQ(scale_.line().baud, 57600u);

  scale_.clear();
  EXPECT_EQ(pondrex_->result("__Connection", {slotOf("123456")}), -1);
  Sleep(300);
  EXPECT_TRUE(scale_.log().empty());
  // The scale, now at 57600 too, answers there.
  EXPECT_EQ(pondrex_->result("Disconnection", {slotOf("123456")}), -1);
  EXPECT_EQ(scale_.log(1, 3000).at(0).baud, 57600u);
}

TEST_F(PondrexScale, MeasurementsTheScaleSendsReachSensorInfoWhenTheHostPumps) {
  scale_.is1Text('S', ' ', "  0.00", "kg");
  ASSERT_EQ(open("OpenDevice"), -1);
  hostCallbackCalls().clear();
  const Bytes frame = scale_.frame(0x83000000, Measurement);
  Bytes two = frame;
  two.insert(two.end(), frame.begin(), frame.end());
  scale_.push(two);
  EXPECT_EQ(pumpUntil("SENSORINFO", 2), (Texts{MeasurementText, MeasurementText}));
  // Both calls found the stack at the same depth: each removed what was
  // pushed for it.
  const std::vector<pos::test::HostCallbackCall> &calls = hostCallbackCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].esp, calls[1].esp);
}

TEST_F(PondrexScale, RefusalWhileNothingWaitsReachesSensorErrAndTheLinkReopens) {
  scale_.is1Text('S', ' ', "  0.00", "kg");
  ASSERT_EQ(open("OpenDevice"), -1);
  scale_.push(scale_.frame(0x800D0005));
  EXPECT_EQ(pumpUntil("SENSORERR", 1), Texts{"SENSORERR code=5"});
  EXPECT_EQ(pondrex_->result("CloseDevice"), -1);
  EXPECT_EQ(pondrex_->result("__Close"), -1);
  EXPECT_EQ(open("OpenDevice"), -1);
  EXPECT_EQ(open("__Open"), -1);
}

TEST_F(PondrexScale, SetCommModeUsesTheLowByteOfItsSlot) {
  // 260 is 4, a USB printer-class port: OpenDevice gives it 8 s, then opens
  // it as a serial port.
  pondrex_->call("SetCommMode", {260});
  EXPECT_EQ(open("OpenDevice"), 0);
  EXPECT_GE(tookMs_, 8000u);
  EXPECT_EQ(scale_.log(8, 3000).size(), 8u);
  // 256 is 0, UDP: the weight requests go nowhere.
  pondrex_->result("CloseDevice");
  scale_.clear();
  pondrex_->call("__SetCommMode", {256});
  EXPECT_EQ(open("OpenDevice"), 0);
  Sleep(200);
  EXPECT_TRUE(scale_.log().empty());
  pondrex_->call("SetCommMode", {1});
}

TEST_F(PondrexScale, RoutedConfigAndNamedRegistrationReachTheRkvCallback) {
  // The tenth argument routes the fifth callback to RKV_IS1INFO; IS1INFO
  // keeps the one Config gave it, and both hear every weight frame.
  const HostCallbackSlots cb = pos::test::hostCallbackSlots();
  pondrex_->call("__Config", {5, 300, 0, cb.sensorErr, cb.sensorInfo, cb.opBoxInfo, cb.leadInfo,
                              pos::test::rkvIs1InfoSlot(), cb.temCompensateInfo, 0x101});
  scale_.is1Text('S', '-', "  0.75", "kg");
  EXPECT_EQ(open("__Open"), -1);
  EXPECT_EQ(hostCallbackTexts(), (Texts{"IS1INFO status=[S] sign=[-] weight=[  0.75] unit=[kg] flag=0",
                                        "RKV_IS1INFO status=[S] sign=[-] weight=[  0.75] unit=[kg] price=[] "
                                        "total=[] key=[] weightsum=[0] tare=[0] originalAd=[] weightAd=[] "
                                        "tareAd=[] number=0 flag=0"}));

  // By name: only the twin with the prefix knows RKV_IS1INFO.
  pondrex_->call("SetCallBackFunc", {slotOf("is1INFO"), 0});
  pondrex_->call("SetCallBackFunc", {slotOf("RKV_IS1INFO"), 0});
  hostCallbackCalls().clear();
  EXPECT_EQ(open("__Open"), -1);
  EXPECT_EQ(hostCallbackTexts("IS1INFO"), Texts{});
  EXPECT_EQ(hostCallbackTexts("RKV_IS1INFO").size(), 1u);
  pondrex_->call("__SetCallBackFunc", {slotOf("rkv_is1info"), 0});
  hostCallbackCalls().clear();
  EXPECT_EQ(open("__Open"), -1);
  EXPECT_TRUE(hostCallbackCalls().empty());
}

TEST_F(PondrexScale, UsbDeviceExportsFindNoDevicesAndLeaveThePointer) {
  const wchar_t *wide = L"untouched";
  const char *narrow = "untouched";
  EXPECT_EQ(pondrex_->result("EnumUsbDeviceStr", {slotOf(&wide)}), 0);
  EXPECT_EQ(pondrex_->result("__EnumUsbDeviceStr", {slotOf(&narrow)}), 0);
  EXPECT_EQ(std::wstring(wide), L"untouched");
  EXPECT_EQ(std::string(narrow), "untouched");
  EXPECT_EQ(pondrex_->result("SetUsbDeviceStr", {slotOf("USB\\VID_1A86&PID_7523")}), -1);
  EXPECT_EQ(pondrex_->result("__SetUsbDeviceStr", {0}), -1);
}

TEST_F(PondrexScale, LibraryFreedWithItsPortOpenStaysLoadedUntilThePortCloses) {
  scale_.is1Text('S', ' ', "  0.00", "kg");
  ASSERT_EQ(open("OpenDevice"), -1);
  pondrex_.reset();
  dll_.reset();
  // The serial threads still run in the library's code, so it is still there.
  EXPECT_NE(GetModuleHandleW(L"Pondrex.dll"), nullptr);

  dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
  pondrex_ = std::make_unique<PondrexExports>(*dll_);
  // The same instance: its port is still open and still delivers.
  scale_.push(scale_.frame(0x83000000, Measurement));
  EXPECT_EQ(pumpUntil("SENSORINFO", 1), Texts{MeasurementText});
  EXPECT_EQ(pondrex_->result("CloseDevice"), -1);
  EXPECT_EQ(pondrex_->faults(), Texts{});
  pondrex_.reset();
  dll_.reset();
  EXPECT_EQ(GetModuleHandleW(L"Pondrex.dll"), nullptr);

  // Loaded anew, it starts without callbacks and opens the port again.
  dll_ = std::make_unique<LoadedModule>(L"Pondrex.dll");
  pondrex_ = std::make_unique<PondrexExports>(*dll_);
  hostCallbackCalls().clear();
  EXPECT_EQ(open("OpenDevice"), -1);
  EXPECT_TRUE(hostCallbackCalls().empty());
}

// A host whose weight callback tares when the weight is stable: the callback
// runs while the host pumps its own message loop, outside any export, so the
// Tare it calls gets the scale's acknowledgement during its own wait. Two
// weight frames in one write both reach the callback, in order.
PondrexExports *tareHost = nullptr;
std::vector<std::string> tareHostWeights;
std::vector<int32_t> tareHostResults;

void startTareHost(PondrexExports *host) {
  tareHost = host;
  tareHostWeights.clear();
  tareHostResults.clear();
}

extern "C" void __stdcall tareWhenStable(const char *, const char *, const char *weight, const char *,
                                         int32_t) {
  tareHostWeights.emplace_back(weight);
  tareHostResults.push_back(tareHost->result("Tare", {slotOf("123456")}));
}

TEST_F(PondrexScale, Is1CallbackThatTaresGetsTheAnswerAndNoFrameBehindItIsLost) {
  startTareHost(pondrex_.get());
  openWithIs1Callback(reinterpret_cast<void *>(&tareWhenStable));
  pushWeights({"  1.00", "  2.00"});

  hostLoop([] { return tareHostResults.size() >= 2; });
  pondrex_->call("SetCallBackFunc", {slotOf("IS1INFO"), 0});
  tareHost = nullptr;
  EXPECT_EQ(tareHostWeights, (Texts{"  1.00", "  2.00"}));
  // Acknowledged at the first attempt each: one tare frame per callback.
  EXPECT_EQ(tareHostResults, (std::vector<int32_t>{-1, -1}));
  size_t tares = 0;
  for (const ScaleLogEntry &entry : scale_.log(2, 3000))
    tares +=
        entry.kind == "frame" && entry.bytes.size() >= 9 && entry.bytes[5] == 0x80 && entry.bytes[6] == 0x04;
  EXPECT_EQ(tares, 2u);
}

// The scale answers the first callback's Tare with a newer weight frame in
// front of the acknowledgement, while the older frame 2 still waits behind
// frame 1: the callbacks still come in the order of the line, each Tare gets
// its own acknowledgement, and the weight that polling reads is the newest.
TEST_F(PondrexScale, Is1CallbacksComeInLineOrderWhenATaresAnswerBringsANewerFrame) {
  startTareHost(pondrex_.get());
  openWithIs1Callback(reinterpret_cast<void *>(&tareWhenStable));
  scale_.on(0x80040000, {ScaleReply::ack().after(pondrex::test::Is1Frame('S', ' ', "  3.00", "kg", 0)),
                         ScaleReply::ack()});
  pushWeights({"  1.00", "  2.00"});

  hostLoop([] { return tareHostResults.size() >= 3; });
  pondrex_->call("SetCallBackFunc", {slotOf("IS1INFO"), 0});
  tareHost = nullptr;
  EXPECT_EQ(tareHostWeights, (Texts{"  1.00", "  2.00", "  3.00"}));
  EXPECT_EQ(tareHostResults, (std::vector<int32_t>{-1, -1, -1}));
  const auto *weight = reinterpret_cast<const char *>(static_cast<uintptr_t>(pondrex_->call("GetWeight")));
  ASSERT_NE(weight, nullptr);
  EXPECT_NE(std::string(weight).find("3.00"), std::string::npos) << weight;
}

// A weight callback that calls __Tare on a scale that answers nothing but
// keeps sending weight frames: each callback has the scale send the next
// frame just before its __Tare, so the frame arrives during that wait. It
// waits for the callback to return: the callbacks never nest, and each
// frame comes once, in order.
constexpr int StreamedFrames = 8;
ScaleClient *streamingScale = nullptr;
int streamedFrames = 0;
int32_t rawTareDepth = 0;
int32_t rawTareDeepest = 0;

std::string streamedWeight(int n) {
  return "  " + std::to_string(n) + ".00";
}
void streamNextFrame() {
  if (streamedFrames < StreamedFrames) {
    ++streamedFrames;
    streamingScale->push(pondrex::test::Is1Frame('S', ' ', streamedWeight(streamedFrames), "kg", 0));
  }
}

extern "C" void __stdcall rawTareOnEveryWeight(const char *, const char *, const char *weight, const char *,
                                               int32_t) {
  tareHostWeights.emplace_back(weight);
  rawTareDeepest = std::max(rawTareDeepest, ++rawTareDepth);
  streamNextFrame();
  tareHostResults.push_back(tareHost->result("__Tare", {0}));
  --rawTareDepth;
}

TEST_F(PondrexScale, Is1CallbackThatCallsRawTareNeverNests) {
  startTareHost(pondrex_.get());
  streamingScale = &scale_;
  streamedFrames = 0;
  rawTareDepth = rawTareDeepest = 0;
  openWithIs1Callback(reinterpret_cast<void *>(&rawTareOnEveryWeight));
  streamNextFrame();

  hostLoop([] { return tareHostResults.size() >= StreamedFrames; }, 30000);
  pondrex_->call("SetCallBackFunc", {slotOf("IS1INFO"), 0});
  tareHost = nullptr;
  streamingScale = nullptr;
  EXPECT_EQ(rawTareDeepest, 1);
  Texts expected;
  for (int i = 1; i <= StreamedFrames; ++i)
    expected.push_back(streamedWeight(i));
  EXPECT_EQ(tareHostWeights, expected);
  // The scale never answered a raw tare.
  EXPECT_EQ(tareHostResults, std::vector<int32_t>(StreamedFrames, 0));
}

// A weight callback whose Tare the scale never answers, while the scale
// sends a weight frame every 20 ms: the Tare waits its five attempts of five
// seconds, and the some 1,250 frames that come meanwhile reach the callback
// after it returns, every one once and in the order of the line.
std::vector<std::string> streamWeights;
std::vector<int32_t> streamTareResults;
PondrexExports *streamHost = nullptr;

extern "C" void __stdcall tareOnFirstWeight(const char *, const char *, const char *weight, const char *,
                                            int32_t) {
  streamWeights.emplace_back(weight);
  if (streamTareResults.empty())
    streamTareResults.push_back(streamHost->result("Tare", {slotOf("123456")}));
}

TEST_F(PondrexScale, EveryFrameOfAStreamingScaleComesAfterACallbacksFullTareWait) {
  constexpr uint32_t Frames = 1400;
  streamHost = pondrex_.get();
  streamWeights.clear();
  streamTareResults.clear();
  configure(5000);
  openWithIs1Callback(reinterpret_cast<void *>(&tareOnFirstWeight));
  scale_.on(0x80040000, ScaleReply::silent());
  const DWORD started = GetTickCount();
  scale_.stream(Frames, 20);

  hostLoop([] { return streamWeights.size() >= Frames; }, 40000);
  pondrex_->call("SetCallBackFunc", {slotOf("IS1INFO"), 0});
  streamHost = nullptr;
  EXPECT_EQ(streamTareResults, std::vector<int32_t>{0});
  EXPECT_GE(GetTickCount() - started, 25000u);
  Texts expected;
  char text[8];
  for (uint32_t n = 1; n <= Frames; ++n) {
    std::snprintf(text, sizeof text, "%6u", n);
    expected.emplace_back(text);
  }
  EXPECT_EQ(streamWeights, expected);
}

// Six bytes of a frame that the driver holds when CloseDevice closes the
// link do not survive into the next open: the first answer of the new
// session is not read as the rest of that frame.
TEST_F(PondrexScale, BytesHeldAtCloseDeviceAreNotTakenIntoTheNextSession) {
  scale_.is1Text('S', ' ', "  0.00", "kg");
  ASSERT_EQ(open("OpenDevice"), -1);
  const Bytes measurement = scale_.frame(0x83000000, Measurement);
  scale_.push(Bytes(measurement.begin(), measurement.begin() + 6));
  const DWORD pushed = GetTickCount();
  while (GetTickCount() - pushed < 200) {
    pondrex_->call("DoEvents");
    Sleep(5);
  }
  EXPECT_EQ(pondrex_->result("CloseDevice"), -1);
  // No weight frame this time: the port stays open all the same, and the
  // scale's first bytes of the session are the answer to __Tare.
  scale_.is1Off();
  open("OpenDevice");
  scale_.reply({0xFE}, scale_.frame(0x800E0000));
  EXPECT_EQ(pondrex_->result("__Tare", {0}), -1);
}

// The weight callback's Tare is refused and SENSORERR closes the link: the
// weight frames that the scale sent just before the refusal, held back while
// the Tare waited, do not reach the weight callback after the close.
std::vector<std::string> closedWeights;
PondrexExports *closingHost = nullptr;

extern "C" void __stdcall tareOnEveryWeight(const char *, const char *, const char *weight, const char *,
                                            int32_t) {
  closedWeights.emplace_back(weight);
  if (closingHost != nullptr && closedWeights.size() == 1)
    closingHost->result("Tare", {slotOf("123456")});
}
extern "C" void __stdcall closeOnRefusal(int32_t code) {
  if (closingHost != nullptr && code == 7)
    closingHost->result("CloseDevice");
}

TEST_F(PondrexScale, NoFrameOfTheSessionReachesACallbackAfterACloseFromACallback) {
  closingHost = pondrex_.get();
  closedWeights.clear();
  openWithIs1Callback(reinterpret_cast<void *>(&tareOnEveryWeight));
  pondrex_->call("SetCallBackFunc", {slotOf("SENSORERR"), slotOf(reinterpret_cast<void *>(&closeOnRefusal))});
  Bytes held;
  for (const char *weight : {"  2.00", "  3.00", "  4.00"}) {
    const Bytes frame = pondrex::test::Is1Frame('S', ' ', weight, "kg", 0);
    held.insert(held.end(), frame.begin(), frame.end());
  }
  scale_.on(0x80040000, ScaleReply::refuse(7).after(held));
  pushWeights({"  1.00"});

  hostLoop([] { return false; }, 1000);
  pushWeights({"  5.00"});
  hostLoop([] { return false; }, 300);
  closingHost = nullptr;
  EXPECT_EQ(closedWeights, Texts{"  1.00"});
}

// A weight frame, and 40 ms later in a chunk of its own an acknowledgement
// left from an earlier request; the host pumps only then, and its weight
// callback sends __Tare, which the scale does not answer. That old
// acknowledgement, read by the port before the request was written, does
// not answer it.
std::vector<int32_t> lateHostResults;
PondrexExports *lateHost = nullptr;

extern "C" void __stdcall rawTareOnce(const char *, const char *, const char *, const char *, int32_t) {
  if (lateHost != nullptr && lateHostResults.empty())
    lateHostResults.push_back(lateHost->result("__Tare", {0}));
}

TEST_F(PondrexScale, AnAnswerThatThePortReadBeforeTheRequestDoesNotAnswerIt) {
  lateHost = pondrex_.get();
  lateHostResults.clear();
  openWithIs1Callback(reinterpret_cast<void *>(&rawTareOnce));
  pushWeights({"  1.00"});
  Sleep(40);
  scale_.push(scale_.frame(0x800E0000));
  Sleep(40);

  hostLoop([] { return !lateHostResults.empty(); }, 3000);
  lateHost = nullptr;
  EXPECT_EQ(lateHostResults, std::vector<int32_t>{0});
}

} // namespace
