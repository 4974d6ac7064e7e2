#include "RawWrites.h"

#include "PumpWait.h"
#include "TickCount.h"

#include <string_view>

namespace pondrex::api {

namespace {

using namespace std::string_view_literals;

// How long a raw write that changes the scale's protocol or state is given
// before the export returns.
constexpr uint32_t SettleMs = 500;
// How long the tare and zero keys wait for the scale's answer.
constexpr uint32_t KeyAnswerMs = 300;
constexpr uint32_t KeyAnswerStepMs = 10;

void Write(THecrLink &link, std::string_view bytes) {
  if (!bytes.empty())
    link.write(bytes, static_cast<int32_t>(bytes.size()));
}

uint16_t KindOf(uint32_t kindSlot) {
  return static_cast<uint16_t>(kindSlot & 0xFFFF);
}

std::string_view ProtocolBytes(uint16_t kind) {
  switch (kind) {
  case 1:
    return "<PB>\t"sv;
  case 2:
    return "<ZQ>\t"sv;
  case 3:
    return "<DB>\t"sv;
  default:
    return {};
  }
}

std::string_view PelqoProtocolBytes(uint16_t kind) {
  switch (kind) {
  case 1:
    return "\x01\x02PELQO PELQO PELQO\x03\x04"sv;
  case 2:
    return "\x01\x02PELQO\x03\x04"sv;
  default:
    return {};
  }
}

std::string_view SwitchBytes(uint16_t kind) {
  switch (kind) {
  case 1:
    return "SAVECURPROTOCOL"sv;
  case 2:
    return "DEFAULTPROTOCOL"sv;
  default:
    return {};
  }
}

// Writes bytes on an active link and lets the scale take them; 0 without
// writing on an inactive one.
int32_t WriteAndSettle(TPSensor &sensor, std::string_view bytes) {
  THecrLink &link = sensor.HecrLink1();
  if (!link.Active())
    return 0;
  Write(link, bytes);
  sensor.Platform().Sleep(SettleMs);
  return -1;
}

// Pumps until a frame of the command protocol answered the raw write that
// wait belongs to, the link closed, or more than 300 ms passed; each pass
// waits for a message, in steps of 10 ms with sleepEachStep.
void WaitForKeyAnswer(TPSensor &sensor, const THecrLink::TRawAnswerWait &wait, bool sleepEachStep) {
  THecrLink &link = sensor.HecrLink1();
  IPlatform &platform = sensor.Platform();
  const uint32_t started = platform.MonotonicMs();
  for (bool first = true; !wait.Over(); first = false) {
    if (sleepEachStep)
      PumpStep(platform, KeyAnswerStepMs, [&wait] { return wait.Over(); });
    else
      PumpPass(platform, first, MsUntilMoreThan(started, platform.MonotonicMs(), KeyAnswerMs));
    if (!link.Active() || ElapsedMoreThan(started, platform.MonotonicMs(), KeyAnswerMs))
      break;
  }
}

} // namespace

int32_t ChangeProtocol(TPSensor &sensor, uint32_t kindSlot) {
  return WriteAndSettle(sensor, ProtocolBytes(KindOf(kindSlot)));
}

int32_t ChangePelqoProtocol(TPSensor &sensor, uint32_t kindSlot) {
  return WriteAndSettle(sensor, PelqoProtocolBytes(KindOf(kindSlot)));
}

int32_t SwitchProtocol(TPSensor &sensor, uint32_t kindSlot) {
  Write(sensor.HecrLink1(), SwitchBytes(KindOf(kindSlot)));
  sensor.Platform().Sleep(SettleMs);
  return 0;
}

int32_t IdentifyHard(TPSensor &sensor) {
  Write(sensor.HecrLink1(), "IDENTIFY HARD"sv);
  return 0;
}

int32_t KeyByte(TPSensor &sensor, TScaleKey key) {
  return WriteAndSettle(sensor, key == TScaleKey::Tare ? "\xFE"sv : "\xFD"sv);
}

int32_t KeyText(TPSensor &sensor, TScaleKey key) {
  THecrLink &link = sensor.HecrLink1();
  // Called from a callback raised inside another wait: nothing is written.
  const THecrLink::TRawAnswerWait wait(link);
  if (!wait.Started())
    return 0;
  Write(link, key == TScaleKey::Tare ? "<TK>\t"sv : "<ZK>\t"sv);
  WaitForKeyAnswer(sensor, wait, false);
  return wait.Answered() && !wait.Refused() ? 1 : 0;
}

int32_t KeyPairTwice(TPSensor &sensor, TScaleKey key) {
  const std::string_view pair = key == TScaleKey::Tare ? "\x01\xFE"sv : "\x01\xFD"sv;
  const THecrLink::TRawAnswerWait wait(sensor.HecrLink1());
  if (!wait.Started())
    return 1;
  Write(sensor.HecrLink1(), pair);
  WaitForKeyAnswer(sensor, wait, true);
  Write(sensor.HecrLink1(), pair);
  return 1;
}

} // namespace pondrex::api
