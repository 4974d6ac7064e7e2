// A boot loader on the far end of a serial port of the fake platform, for
// the tests of the firmware bus and of the download built on it.
//
// Every block that the driver writes is classified and logged with its
// virtual time and rate: a bus frame (decoded, independently of the
// driver's own codec, into its 261-byte packet), a burst of 0x66 bytes, or
// other bytes. Frames get the answer that the test configured for their
// kind of request, after AnswerDelayMs; by default the boot loader
// acknowledges every request and answers upload requests with the status
// block or zeros.
#pragma once

#include "BootFrames.h"
#include "TFakeSerialLine.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pondrex::test {

enum class TBootRequest { Connect, DisConnect, Status, CheckBroadCast, Start, End, Block, Other };

struct TBootReply {
  enum class TKind {
    Ack,    // 0x02
    Refuse, // 0x55
    Silent, // nothing
    Data,   // a frame that repeats the request's first three packet bytes, with Data
    BadSum, // the same frame with a wrong sum
    Raw     // the bytes of Data as they stand
  };
  TKind Kind = TKind::Ack;
  Bytes Data;

  static TBootReply Ack() { return {}; }
  static TBootReply Refuse() { return {TKind::Refuse, {}}; }
  static TBootReply Silent() { return {TKind::Silent, {}}; }
  static TBootReply WithData(Bytes data) { return {TKind::Data, std::move(data)}; }
  static TBootReply BadSum(Bytes data) { return {TKind::BadSum, std::move(data)}; }
  static TBootReply Raw(Bytes bytes) { return {TKind::Raw, std::move(bytes)}; }
};

struct TBootEntry {
  uint32_t Tick = 0;
  uint32_t Rate = 0;
  std::string Kind;           // "frame", "badframe", "burst" or "raw"
  std::vector<uint8_t> Bytes; // the packet of a frame, else the bytes written
};

class TFakeBootLoader {
public:
  static constexpr uint32_t AnswerDelayMs = 5;

  explicit TFakeBootLoader(TFakeSerialLine &line);

  // Answers for one kind of request, one per request received, the last
  // repeating.
  void On(TBootRequest request, std::vector<TBootReply> replies);
  // Back to the default answer.
  void Default(TBootRequest request) { replies_.erase(request); }
  // Answer only requests written at this rate (any rate when unset).
  void AnswerOnlyAt(std::optional<uint32_t> rate) { rate_ = rate; }
  // The data of the default answer to the status request.
  void SetStatusBlock(Bytes block) { statusBlock_ = std::move(block); }

  const std::vector<TBootEntry> &Log() const { return log_; }
  // The packets of the logged frames, of one kind of request when given.
  std::vector<Bytes> Packets(std::optional<TBootRequest> request = std::nullopt) const;
  // The rates at which frames of one kind were written.
  std::vector<uint32_t> Rates(TBootRequest request) const;
  void ClearLog() { log_.clear(); }

  static TBootRequest RequestOf(const Bytes &packet);

private:
  void Written(TFakeSerialLine &line, const TWrittenBlock &block);
  TBootReply Next(TBootRequest request);

  std::optional<uint32_t> rate_;
  Bytes statusBlock_;
  std::map<TBootRequest, std::pair<std::vector<TBootReply>, size_t>> replies_;
  std::vector<TBootEntry> log_;
};

} // namespace pondrex::test
