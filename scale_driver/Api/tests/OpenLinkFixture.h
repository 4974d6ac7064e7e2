// The driver object on the fake platform with its link open on COM3, the
// scale's errors collected from "SENSORERR", and helpers to time an export's
// work on the virtual clock.
#pragma once

#include "ApiTestFixture.h"
#include "TickCount.h"

#include <functional>

namespace pondrex::test {

inline std::vector<int32_t> &SensorErrors() {
  static std::vector<int32_t> errors;
  return errors;
}
inline void PONDREX_STDCALL CollectSensorErr(int32_t code) {
  SensorErrors().push_back(code);
}

class OpenLinkFixture : public ApiFixture {
protected:
  OpenLinkFixture() {
    SensorErrors().clear();
    slots.SensorErrProc = &CollectSensorErr;
    link().SetCommname(u"COM3");
    link().SetBaudRate(9600);
    link().Open();
  }

  // Runs work and returns its result; Took() is the virtual time it took.
  template <typename Work> auto Timed(Work work) {
    started = platform.TickCount();
    auto result = work();
    took = ElapsedTicks(started, platform.TickCount());
    return result;
  }
  uint32_t Took() const { return took; }
  // The virtual time from the start of the last Timed work to each write.
  std::vector<uint32_t> WriteTimes() const {
    std::vector<uint32_t> times;
    for (const TSerialEvent &event : line.EventsOf(TSerialEventKind::Written))
      times.push_back(ElapsedTicks(started, event.Tick));
    return times;
  }
  // Answers every write equal to request with answer, delayMs later.
  void Answer(const Bytes &request, const Bytes &answer, uint32_t delayMs = 5) {
    line.SetResponder([request, answer, delayMs](TFakeSerialLine &l, const TWrittenBlock &block) {
      if (block.Bytes == request)
        l.Send(answer, delayMs);
    });
  }

  uint32_t started = 0;
  uint32_t took = 0;
};

inline Bytes Text(const std::string &text) {
  return Bytes(text.begin(), text.end());
}

} // namespace pondrex::test
