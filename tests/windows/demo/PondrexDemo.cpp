// The road of one request, as a cash-register program takes it: it loads the
// shipped Pondrex.dll by file name, binds its exports by name and calls them
// with the prototypes of Pondrex.h, with its own callbacks, against the
// simulated scale on the far end of the COM port. Each step and each
// callback is printed.
//
// Usage: PondrexDemo.exe [path of Pondrex.dll]   (run through ptypeer.py)
// Exits with 1 when a step did not give what a working scale gives.
#include "HostCallbacks.h"
#include "PeerClient.h"
#include "Pondrex.h"
#include "PondrexExports.h"
#include "ScaleFrames.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using pos::test::hostCallbackCalls;
using pos::test::LoadedModule;
using pos::test::PondrexExports;
using pos::test::ScaleClient;
using pos::test::ScaleLogEntry;

const char *const EcrId = "123456";
// A measurement the scale sends by itself: net 12.34 kg, tare 1, gross 13.34.
const std::vector<uint8_t> Measurement = pondrex::test::MeasurementPayload();

class Demo {
public:
  Demo(const wchar_t *dllPath) : dll_(dllPath), pondrex_(dll_) {}

  int run() {
    if (!dll_.loaded()) {
      std::printf("Pondrex.dll could not be loaded (error %lu)\n", dll_.loadError());
      return 1;
    }
    std::printf("loaded %ls\n", dll_.path().c_str());
    scale_.reset();
    scale_.setId(123456);
    scale_.is1Text('S', ' ', "  1.25", "kg");
    scale_.echo(true);
    const std::string port = ScaleClient::comPort();
    std::printf("simulated scale on %s: ECR ID %s, answers weight requests and echoes the handshake\n\n",
                port.c_str(), EcrId);

    step("Config(retries 5, time-out 1000 ms, debug off, six callbacks)");
    const pos::test::HostCallbackProcs cb = pos::test::hostCallbackProcs();
    PONDREX_INVOKE(pondrex_, Config, 5, 1000, 0, cb.sensorErr, cb.sensorInfo, cb.opBoxInfo, cb.leadInfo,
                   cb.is1Info, cb.temCompensateInfo);
    done();

    step("OpenDevice(\"" + port + "\", 9600)");
    expect(PONDREX_INVOKE(pondrex_, OpenDevice, port.c_str(), 9600), -1);
    scaleSaw(3);

    step("Connection(\"" + std::string(EcrId) + "\"): the baud search, configured rate 9600");
    expect(PONDREX_INVOKE(pondrex_, Connection, EcrId), -1);
    scaleSaw(1);

    step("Tare(\"" + std::string(EcrId) + "\")");
    expect(PONDREX_INVOKE(pondrex_, Tare, EcrId), -1);
    scaleSaw(1);

    step("the scale sends a measurement by itself; the host calls DoEvents until it arrives");
    scale_.push(scale_.frame(0x83000000, Measurement));
    const size_t before = hostCallbackCalls().size();
    const DWORD started = GetTickCount();
    while (!sawSensorInfoSince(before) && GetTickCount() - started < 3000) {
      PONDREX_INVOKE(pondrex_, DoEvents);
      Sleep(5);
    }
    if (!sawSensorInfoSince(before)) {
      failed_ = true;
      std::printf("   no SENSORINFO within 3 s\n");
    }
    done();

    step("CloseDevice()");
    expect(PONDREX_INVOKE(pondrex_, CloseDevice), -1);

    if (pondrex_.faults().empty()) {
      std::printf("every call left the stack and the callee-saved registers as they were\n");
    }
    for (const std::string &fault : pondrex_.faults()) {
      failed_ = true;
      std::printf("FAULT %s\n", fault.c_str());
    }
    std::printf("%s\n", failed_ ? "demonstration FAILED" : "demonstration complete");
    return failed_ ? 1 : 0;
  }

private:
  void step(const std::string &what) { std::printf("== %s\n", what.c_str()); }

  // Prints the callbacks that ran since the last step.
  void done() {
    const std::vector<pos::test::HostCallbackCall> &calls = hostCallbackCalls();
    for (; shown_ < calls.size(); ++shown_) {
      std::printf("   callback %s\n", calls[shown_].text.c_str());
    }
    std::printf("\n");
  }

  // A 32-bit result, as EAX holds it.
  void expect(uint32_t eax, int32_t wanted) {
    const int32_t result = static_cast<int32_t>(eax);
    std::printf("   result %d%s\n", result, result == wanted ? "" : " (a working scale gives another)");
    failed_ = failed_ || result != wanted;
    done();
  }

  // What the scale recognised since the last time, after waiting for at
  // least count entries.
  void scaleSaw(size_t count) {
    std::vector<ScaleLogEntry> log = scale_.log(seen_ + count, 2000);
    for (; seen_ < log.size(); ++seen_) {
      std::printf("   scale saw %-7s at %6u baud: %s\n", log[seen_].kind.c_str(), log[seen_].baud,
                  pos::test::toHex(log[seen_].bytes).c_str());
    }
    std::printf("\n");
  }

  bool sawSensorInfoSince(size_t index) const {
    const std::vector<pos::test::HostCallbackCall> &calls = hostCallbackCalls();
    for (size_t i = index; i < calls.size(); ++i) {
      if (calls[i].name == "SENSORINFO") {
        return true;
      }
    }
    return false;
  }

  LoadedModule dll_;
  PondrexExports pondrex_;
  ScaleClient scale_;
  size_t shown_ = 0;
  size_t seen_ = 0;
  bool failed_ = false;
};

} // namespace

int wmain(int argc, wchar_t **argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  try {
    Demo demo(argc > 1 ? argv[1] : L"Pondrex.dll");
    return demo.run();
  } catch (const std::exception &error) {
    std::printf("demonstration stopped: %s\n", error.what());
    return 1;
  }
}
