#include "AdReads.h"

#include "CallerText.h"
#include "PumpWait.h"
#include "TickCount.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace pondrex::api {

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

constexpr uint32_t AdTextSettleMs = 500;
constexpr uint32_t AdTextStepMs = 100;
constexpr uint32_t ResendSpacingMs = 200;

// 0x11 "AD" and 0x11 "TA".
constexpr std::string_view CurrentAdRequest = "\x11\x41\x44"sv;
constexpr std::string_view TareAdRequest = "\x11\x54\x41"sv;

// Which AD frame answers a request.
enum class TAdAnswer : uint8_t { U8, U9 };

struct TAdRequest {
  uint8_t Kind;
  uint8_t SubCode;
  TAdAnswer Answer;
  // Resends after the first request, and whether they carry an extra 0x44
  // in front.
  int32_t Resends;
  bool LeadingByte;
};

constexpr TAdRequest FullAdRequest{0x38, 0x02, TAdAnswer::U8, 6, true};
constexpr TAdRequest MultiAdRequest{0x38, 0x07, TAdAnswer::U8, 5, false};
constexpr TAdRequest TareZeroAdRequest{0x39, 0x04, TAdAnswer::U9, 5, false};

// 44 11 00 00 00 00 EF 55, kind, 00 00, sub-code, and a check byte that
// makes the bytes from 0x55 on sum to 0 modulo 256.
std::string RequestFrame(const TAdRequest &request) {
  std::string frame = "\x44\x11\x00\x00\x00\x00\xEF\x55"s;
  frame += static_cast<char>(request.Kind);
  frame += "\x00\x00"s;
  frame += static_cast<char>(request.SubCode);
  uint8_t sum = 0;
  for (size_t i = 7; i < frame.size(); ++i)
    sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(frame[i]));
  frame += static_cast<char>(static_cast<uint8_t>(0x100 - sum));
  return frame;
}

void Write(THecrLink &link, std::string_view bytes) {
  link.write(bytes, static_cast<int32_t>(bytes.size()));
}

// An AD frame came, and of the kind asked for: a frame of the other kind
// (the late answer of another read, say) leaves this read's texts empty.
bool Answered(THecrLink &link, TAdAnswer answer) {
  if (!link.blnReadFlag())
    return false;
  return answer == TAdAnswer::U8 ? !link.strOFullAD().empty() : !link.strZeroAD().empty();
}

// Clears the AD readings, writes the request and resends it as the request
// says; true when the answer asked for arrived.
bool RequestAdFrame(TPSensor &sensor, const TAdRequest &request) {
  THecrLink &link = sensor.HecrLink1();
  IPlatform &platform = sensor.Platform();
  link.ClearAdReadings();
  const std::string frame = RequestFrame(request);
  Write(link, frame);
  const std::string resend = request.LeadingByte ? "\x44"s + frame : frame;
  for (int32_t i = 0; i < request.Resends; ++i) {
    PumpStep(platform, ResendSpacingMs, [&] { return Answered(link, request.Answer); });
    if (Answered(link, request.Answer))
      return true;
    Write(link, resend);
  }
  return Answered(link, request.Answer);
}

void WriteAdTexts(std::initializer_list<std::pair<char *, const std::u16string *>> texts) {
  for (const auto &[buffer, text] : texts)
    CopyToCallerBuffer(*text, buffer, AdBufferRoom);
}

} // namespace

std::optional<std::u16string> ReadAdText(TPSensor &sensor, TAdText which) {
  THecrLink &link = sensor.HecrLink1();
  IPlatform &platform = sensor.Platform();
  const bool current = which == TAdText::Current;
  sensor.SetAD(0);
  Write(link, current ? CurrentAdRequest : TareAdRequest);
  platform.Sleep(AdTextSettleMs);
  if (current)
    link.SetCurrAD(std::u16string());
  else
    link.SetTareAD(std::u16string());
  auto text = [&]() -> const std::u16string & { return current ? link.CurrAD() : link.TareAD(); };

  const uint32_t bound = link.TimeOut() > 0 ? static_cast<uint32_t>(link.TimeOut()) : 0;
  const uint32_t started = platform.MonotonicMs();
  while (text().empty()) {
    platform.PumpMessages();
    if (!text().empty() || ElapsedMoreThan(started, platform.MonotonicMs(), bound))
      break;
    PumpStep(platform, AdTextStepMs, [&] { return !text().empty(); });
  }
  if (text().empty())
    return std::nullopt;
  return text();
}

int32_t ReadFullAD(TPSensor &sensor, char *fullAd) {
  if (!sensor.HecrLink1().Active())
    return 0;
  if (!RequestAdFrame(sensor, FullAdRequest))
    return 0;
  WriteAdTexts({{fullAd, &sensor.HecrLink1().strOFullAD()}});
  return -1;
}

int32_t ReadMultiAD(TPSensor &sensor, char *zeroAd, char *version, char *fullAd) {
  THecrLink &link = sensor.HecrLink1();
  if (!link.Active())
    return 0;
  if (!RequestAdFrame(sensor, MultiAdRequest))
    return 0;
  WriteAdTexts({{zeroAd, &link.strOZeroAD()}, {version, &link.strVersion()}, {fullAd, &link.strOFullAD()}});
  return -1;
}

int32_t ReadTZAD(TPSensor &sensor, char *zeroAd, char *tareAd) {
  THecrLink &link = sensor.HecrLink1();
  if (!link.Active())
    return 0;
  if (!RequestAdFrame(sensor, TareZeroAdRequest))
    return 0;
  WriteAdTexts({{zeroAd, &link.strZeroAD()}, {tareAd, &link.strTareAD()}});
  return -1;
}

} // namespace pondrex::api
