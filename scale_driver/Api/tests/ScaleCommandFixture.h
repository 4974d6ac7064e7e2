// The scale-command exports' portable work against a scripted scale on the
// fake platform: the link open on COM3 with a short time-out and two
// attempts, the host's callbacks recorded one line a call, and what the
// driver wrote split into command frames.
#pragma once

#include "ApiTestFixture.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace pondrex::test {

inline constexpr const char *EcrId = "123456";

// What the callbacks received, one line per call, in order.
inline std::vector<std::string> &Calls() {
  static std::vector<std::string> calls;
  return calls;
}

template <typename... Values> std::string Line(const char *format, Values... values) {
  char text[1024];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

inline void PONDREX_STDCALL RecordSensorErr(int32_t code) {
  Calls().push_back(Line("SENSORERR %d", code));
}
inline void PONDREX_STDCALL RecordSensorInfo(double net, double tare, double gross, int32_t mode,
                                             int32_t decimals, int32_t unit, int32_t, int32_t, int32_t,
                                             int32_t, uint32_t flag) {
  Calls().push_back(Line("SENSORINFO %g %g %g %d %d %d %u", net, tare, gross, mode, decimals, unit, flag));
}
inline void PONDREX_STDCALL RecordOpBoxInfo(int32_t soft, int32_t hard, int32_t mainUnit, int32_t type,
                                            int32_t precision, int32_t gravity) {
  Calls().push_back(Line("OPBOXINFO %d %d %d %d %d %d", soft, hard, mainUnit, type, precision, gravity));
}
inline void PONDREX_STDCALL RecordLeadInfo(const char *version, int32_t year, int32_t month, int32_t day) {
  Calls().push_back(Line("LEADINFO %s %d %d %d", version, year, month, day));
}
inline void PONDREX_STDCALL RecordCountryCode(int32_t code) {
  Calls().push_back(Line("OPBOXCOUNTRYCODEINFO %d", code));
}
// The header and the first two points are enough to see which bytes were
// decoded.
#define PONDREX_POINT(i) int32_t a##i, int32_t b##i, double c##i
#define PONDREX_SKIPPED int32_t, int32_t, double
inline void PONDREX_STDCALL RecordTemCompensate(int32_t para, int32_t flag, int32_t learned, PONDREX_POINT(0),
                                                PONDREX_POINT(1), PONDREX_SKIPPED, PONDREX_SKIPPED,
                                                PONDREX_SKIPPED, PONDREX_SKIPPED, PONDREX_SKIPPED,
                                                PONDREX_SKIPPED, PONDREX_SKIPPED, PONDREX_SKIPPED,
                                                PONDREX_SKIPPED, PONDREX_SKIPPED, PONDREX_SKIPPED,
                                                PONDREX_SKIPPED, PONDREX_SKIPPED) {
  Calls().push_back(
      Line("TEMCOMPENSATEINFO %d %d %d %d/%d/%g %d/%d/%g", para, flag, learned, a0, b0, c0, a1, b1, c1));
}
#undef PONDREX_POINT
#undef PONDREX_SKIPPED

// What RecordSensorInfo makes of MeasurementPayload().
inline const char *const MeasurementCall = "SENSORINFO 12.34 1 13.34 1 2 0 0";

// How the scripted scale answers one frame.
struct TReply {
  enum class Kind { Ack, Refuse, Data, Silent } Kind;
  uint8_t Code = 0;
  Bytes Data;
};
inline TReply Ack() {
  return {TReply::Kind::Ack, 0, {}};
}
inline TReply Refuse(uint8_t code) {
  return {TReply::Kind::Refuse, code, {}};
}
inline TReply WithData(Bytes data) {
  return {TReply::Kind::Data, 0, std::move(data)};
}
inline TReply Silent() {
  return {TReply::Kind::Silent, 0, {}};
}

// A command frame as the driver wrote it.
struct TSentFrame {
  uint32_t Code = 0; // bytes 5 to 8
  uint8_t Packet = 0;
  Bytes Data;
  bool operator==(const TSentFrame &) const = default;
};

class ScaleCommandFixture : public ApiFixture {
protected:
  ScaleCommandFixture() {
    Calls().clear();
    slots.SensorErrProc = &RecordSensorErr;
    slots.SensorInfoProc = &RecordSensorInfo;
    slots.OpBoxInfoProc = &RecordOpBoxInfo;
    slots.LeadInfoProc = &RecordLeadInfo;
    slots.OpBoxCountryCodeInfoProc = &RecordCountryCode;
    slots.TemCompensateInfoProc = &RecordTemCompensate;
    link().SetCommname(u"COM3");
    link().SetBaudRate(9600);
    link().SetTimeOut(50);
    link().SetRetrycnt(2);
    link().Open();
    line.SetResponder([this](TFakeSerialLine &l, const TWrittenBlock &block) { Answer(l, block.Bytes); });
  }

  // Frames whose code has the high 16 bits of code get these replies, one
  // per frame, the last repeating; other frames get no answer.
  void On(uint32_t code, std::vector<TReply> replies) { replies_[code >> 16] = {std::move(replies), 0}; }
  void On(uint32_t code, TReply reply) { On(code, std::vector<TReply>{std::move(reply)}); }

  // Every frame written since the last ClearEvents, in order.
  std::vector<TSentFrame> Sent() const {
    std::vector<TSentFrame> frames;
    for (const Bytes &block : line.Writes()) {
      if (block.size() < 13)
        continue;
      TSentFrame frame;
      for (size_t i = 5; i < 9; ++i)
        frame.Code = frame.Code << 8 | block[i];
      frame.Packet = block[9];
      const size_t length = static_cast<size_t>(block[10] << 8 | block[11]);
      if (length > 0 && block.size() >= 13 + length)
        frame.Data.assign(block.begin() + 13, block.begin() + 13 + static_cast<std::ptrdiff_t>(length));
      frames.push_back(std::move(frame));
    }
    return frames;
  }
  void ClearSent() { line.ClearEvents(); }

private:
  void Answer(TFakeSerialLine &l, const Bytes &block) {
    if (block.size() < 13)
      return;
    const uint32_t code = static_cast<uint32_t>(block[5] << 24 | block[6] << 16 | block[7] << 8 | block[8]);
    const uint8_t packet = block[9];
    const auto found = replies_.find(code >> 16);
    if (found == replies_.end())
      return;
    auto &[replies, next] = found->second;
    const TReply &reply = replies[std::min(next++, replies.size() - 1)];
    switch (reply.Kind) {
    case TReply::Kind::Ack:
      l.Send(ScaleFrame(0x800E0000, {}, packet), 5);
      break;
    case TReply::Kind::Refuse:
      l.Send(ScaleFrame(0x800D0000 | reply.Code, {}, packet), 5);
      break;
    case TReply::Kind::Data:
      l.Send(ScaleFrame(code & 0xFFFF0000u, reply.Data, packet), 5);
      break;
    case TReply::Kind::Silent:
      break;
    }
  }

  std::map<uint32_t, std::pair<std::vector<TReply>, size_t>> replies_;
};

} // namespace pondrex::test
