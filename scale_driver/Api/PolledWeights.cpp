#include "PolledWeights.h"

#include "CallerText.h"
#include "PumpWait.h"
#include "TickCount.h"

#include <string_view>

namespace pondrex::api {

namespace {

using namespace std::string_view_literals;

constexpr uint32_t HeldTextWaitMs = 150;
constexpr uint32_t WeightBufferWaitMs = 1000;
// A weight request is repeated when more than this passed since the last.
constexpr uint32_t RequestSpacingMs = 150;
// The request loops end once their repeat counter exceeds these.
constexpr int32_t RequestRepeatLimit = 6;
constexpr int32_t PhaseRepeatLimit = 3;
constexpr uint32_t PhaseStepMs = 10;

constexpr std::string_view WeightRequest = "\x11"sv;
constexpr std::string_view DoubleWeightRequest = "\x05\x11"sv;

void Write(THecrLink &link, std::string_view bytes) {
  link.write(bytes, static_cast<int32_t>(bytes.size()));
}

// Pumps while text() is empty, for more than limitMs at most; a text already
// held is taken without pumping.
template <typename Text> void PumpWhileEmpty(IPlatform &platform, Text text, uint32_t limitMs) {
  const uint32_t started = platform.MonotonicMs();
  while (text().empty()) {
    platform.WaitAndPump(MsUntilMoreThan(started, platform.MonotonicMs(), limitMs));
    if (ElapsedMoreThan(started, platform.MonotonicMs(), limitMs))
      break;
  }
}

std::optional<std::u16string> HeldOrNone(const std::u16string &text) {
  if (text.empty())
    return std::nullopt;
  return text;
}

// One request phase: writes request whenever more than 150 ms passed, until
// a weight text came, the link closed or the counter passed limit. Each pass
// waits for a message, at most until the next request is due, or in steps
// of 10 ms with sleepEachStep.
void RequestPhase(TPSensor &sensor, std::string_view request, int32_t limit, bool sleepEachStep) {
  THecrLink &link = sensor.HecrLink1();
  IPlatform &platform = sensor.Platform();
  int32_t counter = 0;
  uint32_t last = platform.MonotonicMs();
  for (bool first = true; sensor.Is1Value().empty(); first = false) {
    if (!sleepEachStep)
      PumpPass(platform, first, MsUntilMoreThan(last, platform.MonotonicMs(), RequestSpacingMs));
    if (!link.Active())
      break;
    const uint32_t now = platform.MonotonicMs();
    if (ElapsedMoreThan(last, now, RequestSpacingMs)) {
      last = now;
      Write(link, request);
      if (++counter > limit)
        break;
    }
    if (sleepEachStep)
      PumpStep(platform, PhaseStepMs, [&sensor] { return !sensor.Is1Value().empty(); });
  }
}

} // namespace

std::optional<std::u16string> TakeWeightText(TPSensor &sensor) {
  PumpWhileEmpty(
      sensor.Platform(), [&sensor]() -> const std::u16string & { return sensor.Is1Value(); }, HeldTextWaitMs);
  std::optional<std::u16string> text = HeldOrNone(sensor.Is1Value());
  sensor.SetIs1Value(std::u16string());
  return text;
}

int32_t TakeWeightTextInto(TPSensor &sensor, char *buffer) {
  if (buffer == nullptr)
    return 0;
  IPlatform &platform = sensor.Platform();
  const uint32_t started = platform.MonotonicMs();
  while (true) {
    if (!sensor.Is1Value().empty()) {
      CopyToCallerBuffer(sensor.Is1Value(), buffer, WeightBufferRoom);
      sensor.SetIs1Value(std::u16string());
      return -1;
    }
    platform.WaitAndPump(MsUntilMoreThan(started, platform.MonotonicMs(), WeightBufferWaitMs));
    if (ElapsedMoreThan(started, platform.MonotonicMs(), WeightBufferWaitMs))
      return 0;
  }
}

std::optional<std::u16string> TakeMeasurementText(TPSensor &sensor) {
  PumpWhileEmpty(
      sensor.Platform(), [&sensor]() -> const std::u16string & { return sensor.OpValue(); }, HeldTextWaitMs);
  std::optional<std::u16string> text = HeldOrNone(sensor.OpValue());
  sensor.SetOpValue(std::u16string());
  return text;
}

std::optional<std::u16string> RequestWeight(TPSensor &sensor) {
  sensor.SetIs1Value(std::u16string());
  Write(sensor.HecrLink1(), WeightRequest);
  RequestPhase(sensor, WeightRequest, RequestRepeatLimit, false);
  return HeldOrNone(sensor.Is1Value());
}

std::optional<std::u16string> RequestWeightTwoPhases(TPSensor &sensor) {
  sensor.SetIs1Value(std::u16string());
  Write(sensor.HecrLink1(), DoubleWeightRequest);
  RequestPhase(sensor, DoubleWeightRequest, PhaseRepeatLimit, true);
  RequestPhase(sensor, WeightRequest, PhaseRepeatLimit, true);
  return HeldOrNone(sensor.Is1Value());
}

} // namespace pondrex::api
